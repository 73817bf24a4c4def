#pragma once
// The skinned modal message box ("msgbox.xml"): caption with close button, centred text and a row
// of rounded buttons built at run time. Answers the pressed button's identifier, 1 for the close
// button (also when the box cannot be created, or for Escape), 0 when closed any other way.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "toolkit/window_impl.h"
#include "state/ui_host.h"

class CLanguageTable;

class BaseMessageBox : public tzui::WindowImplBase {
 public:
  struct ButtonRecord {
    bool text_is_key = false;
    int id = 0;
    int style = 1;
    std::wstring text;
  };
  struct ButtonStyle {
    tzui::ARGB32 bk = 0, hot = 0, pushed = 0;
  };

  BaseMessageBox();
  void AddButton(const ButtonRecord& record) { buttons_.push_back(record); }
  void SetTitleText(std::wstring_view title) { title_ = title; }
  void SetMessageText(std::wstring_view text) { text_ = text; }
  // Where button texts that are language keys are looked up; without one a key shows as itself.
  void SetLanguages(CLanguageTable* languages) { languages_ = languages; }
  // Creates, shows modally over `owner` (may be null) and answers as described above.
  int ShowModalBox(HWND owner);
  // Style colours by index (0 primary, 1 other, 2 alert); three zeros for an unknown index.
  ButtonStyle StyleColors(int style) const;

 protected:
  std::wstring GetWindowClassName() const override { return L"BrinCommonMsgboxWndClass"; }
  std::wstring GetSkinFile() override { return L"msgbox.xml"; }
  void InitWindow() override;
  void OnClick(tzui::TNotifyUI& msg) override;
  void OnEscape() override;
  tzui::CControlUI* CreateControl(std::wstring_view type_name) override;
  LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  void BuildButtons();
  std::vector<ButtonRecord> buttons_;
  std::map<int, ButtonStyle> styles_;
  tzui::ARGB32 text_color_ = 0xFFFFFFFF, hot_text_color_ = 0xFFFFFFFF, pushed_text_color_ = 0xFF999999;
  int result_ = 0;
  tzui::CContainerUI* button_layout_ = nullptr;
  tzui::CLabelUI* text_label_ = nullptr;
  tzui::CLabelUI* title_label_ = nullptr;
  std::wstring title_;
  std::wstring text_;
  CLanguageTable* languages_ = nullptr;
};

// The window's IUIOperation::MessageBox: entries {text, key?, primary?, id} → styles 0/1.
int ShowSkinnedMessageBox(HWND owner, const std::wstring& title, const std::wstring& text,
                          const std::vector<MessageBoxButton>& buttons, CLanguageTable* languages = nullptr);
// One "MB.BtnText.Ok" button (id 10, primary).
int ShowSimpleOkBox(HWND owner, const std::wstring& text, const std::wstring& title,
                    CLanguageTable* languages = nullptr);
