// The toolkit on its own: the package, string tables, description building, layout, images at
// each scale and keyboard focus, without a window.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/builder.h"
#include "toolkit/controls.h"
#include "toolkit/line_break.h"
#include "toolkit/paint_manager.h"
#include "toolkit/resource_package.h"
#include "toolkit/ui_types.h"

namespace {

std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  CloseHandle(file);
  return bytes;
}

const std::wstring kData = std::wstring(TZ_TEST_DATA_DIR) + L"/toolkit/";

class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    package_ = ReadBytes(kData + L"package.zip");
    ASSERT_FALSE(package_.empty()) << "run the build: testdata/toolkit/package.zip is missing";
    auto& rm = tzui::CResourceManager::Instance();
    rm.SetResourceSource(tzui::ResourceSource::kZipMemory);
    ASSERT_TRUE(rm.SetZipPackage(package_.data(), package_.size()));
    rm.ClearStringTable();
  }
  void TearDown() override {
    tzui::CResourceManager::Instance().ClearPackage();
    tzui::CResourceManager::Instance().ClearStringTable();
  }
  std::vector<std::uint8_t> package_;
};

// A callback that knows one extra type, as a window's dialog-builder callback does.
class CustomTypes : public tzui::IDialogBuilderCallback {
 public:
  tzui::CControlUI* CreateControl(std::wstring_view type) override {
    return type == L"Custom" ? new tzui::CLabelUI() : nullptr;
  }
};

}  // namespace

TEST(UiValuesTest, ParsesColoursRectsAndBooleans) {
  struct Case {
    const wchar_t* text;
    bool ok;
    tzui::ARGB32 value;
  } colours[] = {{L"#FFFE3666", true, 0xFFFE3666}, {L"FF3A3E4F", true, 0xFF3A3E4F}, {L"#fe3666", true, 0xFFFE3666},
                 {L"#12345", false, 0}, {L"#GG000000", false, 0}, {L"", false, 0}, {L"  #00000000 ", true, 0}};
  for (const Case& c : colours) {
    tzui::ARGB32 v = 0xDEADBEEF;
    EXPECT_EQ(tzui::ParseColor(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  RECT rc{};
  EXPECT_TRUE(tzui::ParseRect(L"0,0,0,275", rc));
  EXPECT_EQ(rc.bottom, 275);
  EXPECT_TRUE(tzui::ParseRect(L"20, 20 ,20", rc));
  EXPECT_EQ(rc.left + rc.top + rc.right + rc.bottom, 60);
  EXPECT_FALSE(tzui::ParseRect(L"x", rc));
  EXPECT_TRUE(tzui::ParseBool(L"TRUE"));
  EXPECT_TRUE(tzui::ParseBool(L"1"));
  EXPECT_FALSE(tzui::ParseBool(L"yes"));
}

TEST_F(PackageTest, EntriesAreFoundByEitherSeparatorAndAnyCase) {
  struct Case {
    const wchar_t* path;
    bool found;
  } cases[] = {{L"good.xml", true},          {L"GOOD.XML", true},        {L"img\\dot.png", true},
               {L"img/dot@200.png", true},   {L"\\img\\dot.png", true},  {L"img", false},
               {L"missing.png", false},      {L"", false},               {L"locale\\zh-cn\\string.xml", true}};
  std::vector<std::uint8_t> bytes;
  for (const Case& c : cases) {
    EXPECT_EQ(tzui::CResourceManager::Instance().ReadEntry(c.path, bytes), c.found) << c.path;
    EXPECT_EQ(bytes.empty(), !c.found) << c.path;
  }
}

TEST(PackageLoadTest, UnreadablePackagesAreRefusedAndReadNothing) {
  auto& rm = tzui::CResourceManager::Instance();
  rm.SetResourceSource(tzui::ResourceSource::kZipMemory);
  const std::vector<std::uint8_t> garbage = ReadBytes(kData + L"garbage.bin");
  ASSERT_FALSE(garbage.empty());
  const std::uint8_t one = 0;
  EXPECT_FALSE(rm.SetZipPackage(nullptr, 0));
  EXPECT_FALSE(rm.SetZipPackage(&one, 0));  // zero-length
  EXPECT_FALSE(rm.SetZipPackage(garbage.data(), garbage.size()));
  const std::vector<std::uint8_t> package = ReadBytes(kData + L"package.zip");
  EXPECT_FALSE(rm.SetZipPackage(package.data(), package.size(), L"secret"));  // passwords are not supported
  std::vector<std::uint8_t> bytes;
  EXPECT_FALSE(rm.ReadEntry(L"good.xml", bytes));
  tzui::CPaintManagerUI manager;
  EXPECT_EQ(tzui::CDialogBuilder::Create(L"good.xml", nullptr, &manager), nullptr);
}

TEST_F(PackageTest, StringTableTextsReplaceIdsOfResourceTextControls) {
  auto& rm = tzui::CResourceManager::Instance();
  EXPECT_FALSE(rm.LoadStringTable(L"locale\\en-us\\string.xml"));  // no such language: ids stay
  tzui::CLabelUI label;
  label.SetResourceText(true);
  label.SetText(L"IDS_OK");
  EXPECT_EQ(label.GetText(), L"IDS_OK");
  ASSERT_TRUE(rm.LoadStringTable(L"locale\\zh-cn\\string.xml"));
  EXPECT_FALSE(rm.LoadStringTable(L"locale\\bad\\string.xml"));  // malformed: the loaded table stays
  EXPECT_EQ(label.GetText(), L"确定");
  label.SetToolTip(L"IDS_MISSING");
  EXPECT_EQ(label.GetToolTip(), L"IDS_MISSING");
  // Table texts are shown as they are, never used as format strings.
  label.SetText(L"IDS_FMT");
  EXPECT_EQ(label.GetText(), L"%s%d%n");
  tzui::CLabelUI plain;
  plain.SetText(L"IDS_OK");
  EXPECT_EQ(plain.GetText(), L"IDS_OK");
}

TEST_F(PackageTest, BuilderSkipsUnknownElementsAndReadsWindowAttributes) {
  tzui::CPaintManagerUI manager;
  CustomTypes callback;
  std::unique_ptr<tzui::CControlUI> root(tzui::CDialogBuilder::Create(L"good.xml", &callback, &manager));
  ASSERT_NE(root, nullptr);
  manager.AttachDialog(root.release());
  EXPECT_EQ(manager.GetInitSize().cx, 300);
  EXPECT_EQ(manager.GetCaptionRect().bottom, 40);
  EXPECT_TRUE(manager.IsLayered());
  EXPECT_NE(manager.FindControl(L"TITLE"), nullptr);
  EXPECT_EQ(manager.FindControl(L"unknown"), nullptr);
  EXPECT_EQ(manager.FindControl(L"inside_unknown"), nullptr);
  EXPECT_NE(dynamic_cast<tzui::CLabelUI*>(manager.FindControl(L"made_by_callback")), nullptr);
  auto* b1 = dynamic_cast<tzui::CButtonUI*>(manager.FindControl(L"b1"));
  ASSERT_NE(b1, nullptr);
  EXPECT_EQ(b1->GetTextColor(), 0xFF112233u);  // from the Default element
  EXPECT_EQ(b1->GetFixedWidth(), 50);
  EXPECT_EQ(b1->GetText(), L"一");
  ASSERT_NE(manager.GetFontInfo(1), nullptr);
  EXPECT_EQ(manager.GetFontInfo(1)->face, L"Microsoft Yahei");
}

TEST_F(PackageTest, BadDescriptionsBuildNothing) {
  for (const wchar_t* name : {L"malformed.xml", L"noroot.xml", L"notwindow.xml", L"missing.xml", L"img\\dot.png"}) {
    tzui::CPaintManagerUI manager;
    EXPECT_EQ(tzui::CDialogBuilder::Create(name, nullptr, &manager), nullptr) << name;
  }
  tzui::CPaintManagerUI manager;
  EXPECT_EQ(tzui::CDialogBuilder::CreateFromText("", nullptr, &manager), nullptr);
  EXPECT_EQ(tzui::CDialogBuilder::CreateFromText(std::string(100000, '<'), nullptr, &manager), nullptr);
  // Nesting deeper than any skin is cut off instead of exhausting the stack.
  std::string deep = "<Window>";
  for (int i = 0; i < 5000; ++i) deep += "<VerticalLayout>";
  for (int i = 0; i < 5000; ++i) deep += "</VerticalLayout>";
  deep += "</Window>";
  std::unique_ptr<tzui::CControlUI> root(tzui::CDialogBuilder::CreateFromText(deep, nullptr, &manager));
  EXPECT_NE(root, nullptr);
}

TEST_F(PackageTest, ImagesPreferTheVariantOfTheWindowScale) {
  struct Case {
    UINT dpi;
    const wchar_t* path;
    UINT pixel_width;  // 0: missing
    LONG logical_width;
  } cases[] = {
      {96, L"img\\dot.png", 4, 4},   {192, L"img\\dot.png", 8, 4},  // the @200 drawing
      {144, L"img/dot.png", 8, 4},                                   // no @150: @200, drawn scaled down
      {120, L"IMG\\DOT.PNG", 8, 4},  {96, L"img\\none.png", 0, 0},   {192, L"img\\broken.png", 0, 0},
  };
  for (const Case& c : cases) {
    tzui::CPaintManagerUI manager;
    manager.SetDPI(c.dpi);
    SIZE logical{};
    Gdiplus::Bitmap* bitmap = manager.GetImage(c.path, &logical);
    if (c.pixel_width == 0) {
      EXPECT_EQ(bitmap, nullptr) << c.path << " at " << c.dpi;
      continue;
    }
    ASSERT_NE(bitmap, nullptr) << c.path << " at " << c.dpi;
    EXPECT_EQ(bitmap->GetWidth(), c.pixel_width) << c.path << " at " << c.dpi;
    EXPECT_EQ(logical.cx, c.logical_width) << c.path << " at " << c.dpi;
  }
}

TEST(LayoutTest, FixedSizesFirstFlexibleShareTheRestScaledByDpi) {
  struct Child {
    int fixed;         // main-axis size, 0 flexible
    RECT padding;
    bool visible;
  };
  struct Case {
    bool vertical;
    UINT dpi;
    std::vector<Child> children;
    std::vector<std::pair<int, int>> expected;  // main-axis start and end of each visible child
  } cases[] = {
      {true, 96, {{20, {}, true}, {0, {}, true}, {30, {}, true}}, {{0, 20}, {20, 70}, {70, 100}}},
      {true, 96, {{0, {}, true}, {0, {}, true}}, {{0, 50}, {50, 100}}},
      {true, 96, {{20, {0, 5, 0, 5}, true}, {0, {}, true}}, {{5, 25}, {30, 100}}},
      {true, 96, {{20, {}, false}, {0, {}, true}}, {{0, 100}}},  // hidden children take no room
      {true, 192, {{20, {}, true}, {0, {}, true}}, {{0, 40}, {40, 200}}},
      {false, 96, {{22, {}, true}, {0, {}, true}, {95, {}, true}}, {{0, 22}, {22, 22}, {22, 117}}},  // no room left
      {false, 96, {{60, {}, true}, {60, {}, true}}, {{0, 60}, {60, 120}}},  // overflow is not squeezed
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    tzui::CPaintManagerUI manager;
    manager.SetDPI(c.dpi);
    tzui::CContainerUI* layout = c.vertical ? static_cast<tzui::CContainerUI*>(new tzui::CVerticalLayoutUI())
                                            : static_cast<tzui::CContainerUI*>(new tzui::CHorizontalLayoutUI());
    manager.AttachDialog(layout);
    std::vector<tzui::CControlUI*> controls;
    for (const Child& ch : c.children) {
      auto* control = new tzui::CControlUI();
      if (c.vertical) control->SetFixedHeight(ch.fixed);
      else control->SetFixedWidth(ch.fixed);
      control->SetPadding(ch.padding);
      control->SetVisible(ch.visible);
      layout->Add(control);
      if (ch.visible) controls.push_back(control);
    }
    const int extent = manager.Scale(100);
    layout->SetPos(RECT{0, 0, extent, extent});
    ASSERT_EQ(controls.size(), c.expected.size()) << "case " << i;
    for (size_t k = 0; k < controls.size(); ++k) {
      const RECT& pos = controls[k]->GetPos();
      const int start = c.vertical ? pos.top : pos.left, end = c.vertical ? pos.bottom : pos.right;
      const std::pair<int, int> want = c.expected[k];
      EXPECT_EQ(start, want.first) << "case " << i << " child " << k;
      EXPECT_EQ(end, want.second) << "case " << i << " child " << k;
    }
  }
}

TEST(FocusTest, TabVisitsEnabledVisibleButtonsInTreeOrderAndWraps) {
  tzui::CPaintManagerUI manager;
  auto* root = new tzui::CVerticalLayoutUI();
  manager.AttachDialog(root);
  auto add = [&](tzui::CControlUI* c, const wchar_t* name) {
    c->SetName(name);
    root->Add(c);
    return c;
  };
  add(new tzui::CLabelUI(), L"label");
  add(new tzui::CButtonUI(), L"first");
  add(new tzui::CButtonUI(), L"disabled")->SetEnabled(false);
  auto* hidden_parent = new tzui::CHorizontalLayoutUI();
  root->Add(hidden_parent);
  auto* hidden = new tzui::CButtonUI();
  hidden->SetName(L"hidden");
  hidden_parent->Add(hidden);
  hidden_parent->SetVisible(false);
  add(new tzui::CCheckBoxUI(), L"check");
  const wchar_t* forward[] = {L"first", L"check", L"first"};
  for (const wchar_t* want : forward) {
    ASSERT_TRUE(manager.MoveFocus(true));
    EXPECT_EQ(manager.GetFocus()->GetName(), want);
  }
  ASSERT_TRUE(manager.MoveFocus(false));
  EXPECT_EQ(manager.GetFocus()->GetName(), L"check");
  // Space flips the focused check box once per press: the repeats of a held key do nothing.
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  manager.Init(window);
  auto* check = static_cast<tzui::CCheckBoxUI*>(manager.GetFocus());
  const bool before = check->IsChecked();
  LRESULT result = 0;
  manager.MessageHandler(WM_KEYDOWN, VK_SPACE, 1, result);
  EXPECT_NE(check->IsChecked(), before);
  manager.MessageHandler(WM_KEYDOWN, VK_SPACE, 1 | (1 << 30), result);
  EXPECT_NE(check->IsChecked(), before);
  manager.Init(nullptr);
  DestroyWindow(window);
  // A control that goes away leaves no dangling focus.
  root->Remove(manager.GetFocus());
  EXPECT_EQ(manager.GetFocus(), nullptr);
}

// Every character one unit wide: the width is the number of characters that fit.
TEST(LineBreakTest, BreaksWhereTypesettingAllows) {
  struct Case {
    const wchar_t* text;
    float width;
    std::vector<std::wstring> lines;
  } cases[] = {
      {L"", 5, {L""}},
      {L"安装完成", 10, {L"安装完成"}},
      {L"安装完成", 2, {L"安装", L"完成"}},
      // closing punctuation takes the character before it to the next line
      {L"请先关闭它。", 5, {L"请先关闭", L"它。"}},
      {L"目录，请选择", 3, {L"目录，", L"请选择"}},
      {L"关闭（它）", 3, {L"关闭", L"（它）"}},
      // words and numbers stay whole; spaces are dropped at the break
      {L"TzDemo 1.0.0.1", 10, {L"TzDemo", L"1.0.0.1"}},
      {L"需要8192MB空间", 6, {L"需要", L"8192MB", L"空间"}},
      {L"C:\\Program Files\\TzDemo", 12, {L"C:\\Program", L"Files\\TzDemo"}},
      // nothing allowed fits: broken where the line is full
      {L"abcdefgh", 3, {L"abc", L"def", L"gh"}},
      {L"。。。。", 2, {L"。。", L"。。"}},
      {L"一行\n二行", 10, {L"一行", L"二行"}},
      {L"一行\r\n\r\n二行", 10, {L"一行", L"", L"二行"}},
      // narrower than one character: one a line
      {L"安装", 0.5f, {L"安", L"装"}},
  };
  const auto width_of = [](std::wstring_view s) { return static_cast<float>(s.size()); };
  for (const Case& c : cases)
    EXPECT_EQ(tzui::BreakLines(c.text, c.width, width_of), c.lines) << "text " << testing::PrintToString(std::wstring(c.text));
}
