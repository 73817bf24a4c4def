#include "toolkit/builder.h"

#include <vector>

#include "platform/encoding.h"
#include "rapidxml/rapidxml.hpp"
#include "toolkit/resource_package.h"

namespace tzui {

namespace {

using Node = rapidxml::xml_node<char>;

std::wstring Wide(const char* text, size_t size) { return tz::Utf8ToWide(std::string_view(text, size)); }

std::wstring Attr(const Node* node, const char* name) {
  const auto* attr = node->first_attribute(name);
  return attr ? Wide(attr->value(), attr->value_size()) : std::wstring();
}

CControlUI* CreateBuiltin(std::wstring_view type) {
  if (type == L"Control") return new CControlUI();
  if (type == L"Label" || type == L"Text") return new CLabelUI();
  if (type == L"Button") return new CButtonUI();
  if (type == L"CheckBox" || type == L"Option") return new CCheckBoxUI();
  if (type == L"ImageControl") return new CImageControlUI();
  if (type == L"Progress") return new CProgressUI();
  if (type == L"RichEdit") return new CRichEditUI();
  if (type == L"Container") return new CContainerUI();
  if (type == L"VerticalLayout") return new CVerticalLayoutUI();
  if (type == L"HorizontalLayout") return new CHorizontalLayoutUI();
  return nullptr;
}

// Descriptions nest a few levels; a deeper one is damaged or hostile.
constexpr int kMaxDepth = 64;

CControlUI* BuildControl(const Node* node, IDialogBuilderCallback* callback, CPaintManagerUI* manager, int depth) {
  if (depth > kMaxDepth) return nullptr;
  const std::wstring type = Wide(node->name(), node->name_size());
  CControlUI* control = callback ? callback->CreateControl(type) : nullptr;
  if (!control) control = CreateBuiltin(type);
  if (!control) return nullptr;  // unknown element: skipped with its children
  // Attributes are applied before the control joins the tree, so scaled values wait for layout.
  if (const std::wstring* defaults = manager->GetDefaultAttributeList(control->GetClass())) control->ApplyAttributeList(*defaults);
  for (const auto* attr = node->first_attribute(); attr; attr = attr->next_attribute())
    control->SetAttribute(Wide(attr->name(), attr->name_size()), Wide(attr->value(), attr->value_size()));
  if (CContainerUI* container = control->AsContainer()) {
    for (const Node* child = node->first_node(); child; child = child->next_sibling()) {
      if (CControlUI* built = BuildControl(child, callback, manager, depth + 1)) container->Add(built);
    }
  }
  return control;
}

void ReadWindowElement(const Node* window, CPaintManagerUI* manager) {
  SIZE size{};
  if (ParseSize(Attr(window, "size"), size)) manager->SetInitSize(size.cx, size.cy);
  RECT caption{};
  if (ParseRect(Attr(window, "caption"), caption)) manager->SetCaptionRect(caption);
  manager->SetLayered(ParseBool(Attr(window, "bktrans")));
}

void ReadFont(const Node* node, CPaintManagerUI* manager) {
  FontInfo info;
  info.face = Attr(node, "name");
  info.size = ParseInt(Attr(node, "size"), 12);
  info.bold = ParseBool(Attr(node, "bold"));
  info.underline = ParseBool(Attr(node, "underline"));
  info.italic = ParseBool(Attr(node, "italic"));
  manager->AddFont(ParseInt(Attr(node, "id"), 0), info, ParseBool(Attr(node, "default")));
}

}  // namespace

CControlUI* CDialogBuilder::Create(std::wstring_view description, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager) {
  std::vector<std::uint8_t> bytes;
  if (!CResourceManager::Instance().ReadEntry(description, bytes)) return nullptr;
  return CreateFromText(std::string(bytes.begin(), bytes.end()), callback, manager);
}

CControlUI* CDialogBuilder::CreateFromText(std::string text, IDialogBuilderCallback* callback, CPaintManagerUI* manager) {
  if (!manager) return nullptr;
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  // rapidxml parses in place and needs the terminating zero.
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  rapidxml::xml_document<char> doc;
  try {
    doc.parse<0>(buffer.data());
  } catch (const rapidxml::parse_error&) {
    return nullptr;
  }
  const Node* window = doc.first_node("Window");
  if (!window) return nullptr;
  ReadWindowElement(window, manager);
  CControlUI* root = nullptr;
  for (const Node* node = window->first_node(); node; node = node->next_sibling()) {
    const std::string_view name(node->name(), node->name_size());
    if (name == "Font") {
      ReadFont(node, manager);
    } else if (name == "Default") {
      manager->AddDefaultAttributeList(Attr(node, "name"), Attr(node, "value"));
    } else if (!root && node->type() == rapidxml::node_element) {
      root = BuildControl(node, callback, manager, 0);
    }
  }
  return root;
}

}  // namespace tzui
