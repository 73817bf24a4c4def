#include "ui/base_message_box.h"

#include <cwchar>

#include "script/language_table.h"
#include "toolkit/dpi.h"
#include "ui/rounded_controls.h"

namespace {

constexpr wchar_t kButtonPrefix[] = L"MB_BUTTON_";
constexpr size_t kButtonPrefixLength = 10;

}  // namespace

BaseMessageBox::BaseMessageBox() {
  styles_[0] = {0xFFFE3666, 0xFFFE537C, 0xFFCB2B51};
  styles_[1] = {0xFF3A3E4F, 0xFF4D4E5B, 0xFF2D2E3B};
  styles_[2] = {0xFFFF0036, 0xFFFF1A4A, 0xFF33000B};
}

BaseMessageBox::ButtonStyle BaseMessageBox::StyleColors(int style) const {
  const auto it = styles_.find(style);
  return it == styles_.end() ? ButtonStyle{} : it->second;
}

tzui::CControlUI* BaseMessageBox::CreateControl(std::wstring_view type_name) {
  // The skin's rounded types; the box has no controls of its own.
  return CreateRoundedControl(type_name);
}

void BaseMessageBox::InitWindow() {
  button_layout_ = FindControlAs<tzui::CContainerUI>(L"button_layout");
  text_label_ = FindControlAs<tzui::CLabelUI>(L"mb_text");
  title_label_ = FindControlAs<tzui::CLabelUI>(L"mb_title");
}

void BaseMessageBox::BuildButtons() {
  if (!button_layout_ || buttons_.empty()) return;
  button_layout_->Add(new tzui::CControlUI());  // flexible: centres the row
  bool first = true;
  tzui::CControlUI* default_button = nullptr;
  for (const ButtonRecord& record : buttons_) {
    if (!first) {
      auto* gap = new tzui::CControlUI();
      gap->SetFixedWidth(22);
      button_layout_->Add(gap);
    }
    first = false;
    auto* button = new CRoundedButtonUI();
    const ButtonStyle style = StyleColors(record.style);
    button->SetBkColor(style.bk);
    button->SetHotBkColor(style.hot);
    button->SetPushedBkColor(style.pushed);
    button->SetTextColor(text_color_);
    button->SetHotTextColor(hot_text_color_);
    button->SetPushedTextColor(pushed_text_color_);
    button->SetBorderRadius(4);
    button->SetText(record.text_is_key && languages_ ? languages_->GetString(record.text) : record.text);
    wchar_t name[128] = {};
    swprintf(name, 128, L"%ls%d", kButtonPrefix, record.id);
    button->SetName(name);
    button->SetFixedWidth(95);
    button->SetCursor(IDC_HAND);
    button_layout_->Add(button);
    button->SetFont(1);
    if (!default_button) default_button = button;
  }
  button_layout_->Add(new tzui::CControlUI());
  // Enter answers with the first button, as a system message box does; Tab moves on from it.
  GetPaintManager().SetFocus(default_button);
}

int BaseMessageBox::ShowModalBox(HWND owner) {
  RECT owner_rect{};
  if (owner) GetWindowRect(owner, &owner_rect);
  if (!Create(owner, L"", 0x96C80000, 0, owner_rect.left, owner_rect.top, 403, 182)) return 1;
  HMONITOR monitor = owner ? MonitorFromWindow(owner, MONITOR_DEFAULTTONULL)
                           : MonitorFromWindow(GetHWND(), MONITOR_DEFAULTTOPRIMARY);
  SetDPI(monitor ? tzui::DpiForMonitor(monitor) : tzui::SystemDpi());
  BuildButtons();
  if (text_label_ && !text_.empty()) {
    text_label_->SetText(text_);
    text_label_->SetFont(1);
  }
  if (title_label_ && !title_.empty()) title_label_->SetText(title_);
  // Screen readers announce the window by its title.
  if (!title_.empty()) SetTitle(title_);
  CenterWindow();
  ShowModal();
  return result_;
}

void BaseMessageBox::OnClick(tzui::TNotifyUI& msg) {
  if (!msg.sender) return;
  const std::wstring& name = msg.sender->GetName();
  if (tzui::EqualsNoCase(name, L"btn_close")) {
    result_ = 1;
    Close(1);
    return;
  }
  if (name.size() >= kButtonPrefixLength && _wcsnicmp(name.c_str(), kButtonPrefix, kButtonPrefixLength) == 0) {
    result_ = static_cast<int>(wcstol(name.c_str() + kButtonPrefixLength, nullptr, 10));
    Close(1);
  }
}

void BaseMessageBox::OnEscape() {
  result_ = 1;
  Close(1);
}

LRESULT BaseMessageBox::HandleCustomMessage(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

int ShowSkinnedMessageBox(HWND owner, const std::wstring& title, const std::wstring& text,
                          const std::vector<MessageBoxButton>& buttons, CLanguageTable* languages) {
  BaseMessageBox box;
  box.SetLanguages(languages);
  box.SetTitleText(title);
  box.SetMessageText(text);
  for (const MessageBoxButton& b : buttons) box.AddButton({b.text_is_key, b.id, b.primary ? 0 : 1, b.text});
  return box.ShowModalBox(owner);
}

int ShowSimpleOkBox(HWND owner, const std::wstring& text, const std::wstring& title, CLanguageTable* languages) {
  BaseMessageBox box;
  box.SetLanguages(languages);
  box.SetTitleText(title);
  box.SetMessageText(text);
  box.AddButton({true, 10, 0, L"MB.BtnText.Ok"});
  return box.ShowModalBox(owner);
}
