// uidemo --skin PACKAGE.zip [--lang CODE] [--dpi N] [--owner] MODE [options]
//   box    --title T --text X --button TEXT:ID:STYLE ...   BaseMessageBox directly
//   prompt --title T --text X [--mask M] [--nohost] [--worker] TEXT...  the engine's two-button
//          prompt (--worker: shown from a second thread while the first serves the owner)
//   okbox  --title T --text X                              the one-button OK box
//   window --desc NAME [--set control.attribute=value]... [--height H]  any description of the package
// Prints "result=N" (box modes) or one "notify TYPE NAME WPARAM" line per notification.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/encoding.h"
#include "script/language_table.h"
#include "state/installer_info.h"
#include "toolkit/dpi.h"
#include "toolkit/resource_package.h"
#include "toolkit/window_impl.h"
#include "ui/base_message_box.h"
#include "ui/gradient_progress.h"
#include "state/message_box.h"
#include "ui/rounded_controls.h"
#include "state/ui_host.h"

namespace {

HWND g_owner = nullptr;

void Print(const std::wstring& line) {
  const std::string utf8 = tz::WideToUtf8(line);
  fwrite(utf8.data(), 1, utf8.size(), stdout);
  fputc('\n', stdout);
  fflush(stdout);
}

class CDemoWindow final : public tzui::WindowImplBase {
 public:
  CDemoWindow(std::wstring desc, std::vector<std::wstring> sets, UINT dpi, int height)
      : desc_(std::move(desc)), sets_(std::move(sets)), dpi_(dpi), height_(height) {}

 protected:
  std::wstring GetWindowClassName() const override { return L"TzUiDemoWindow"; }
  std::wstring GetSkinFile() override { return desc_; }
  tzui::CControlUI* CreateControl(std::wstring_view type) override {
    if (tzui::CControlUI* c = CreateGradientProgress(type)) return c;
    return CreateRoundedControl(type);
  }
  void InitWindow() override {
    for (const std::wstring& set : sets_) {
      const size_t dot = set.find(L'.'), eq = set.find(L'=');
      if (dot == std::wstring::npos || eq == std::wstring::npos || eq < dot) continue;
      tzui::CControlUI* control = FindControl(set.substr(0, dot));
      if (!control) continue;
      const std::wstring attr = set.substr(dot + 1, eq - dot - 1), value = set.substr(eq + 1);
      if (attr == L"append") {
        if (auto* rich = dynamic_cast<tzui::CRichEditUI*>(control)) rich->AppendText(value);
      } else {
        control->SetAttribute(attr, value);
      }
    }
    if (dpi_) SetDPI(dpi_);
    if (height_) {
      RECT rc{};
      GetWindowRect(GetHWND(), &rc);
      SetWindowPos(GetHWND(), nullptr, 0, 0, rc.right - rc.left, GetPaintManager().Scale(height_),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  void Notify(tzui::TNotifyUI& msg) override {
    if (msg.type != L"windowinit" && msg.type != L"setfocus" && msg.type != L"killfocus")
      Print(L"notify " + msg.type + L" " + (msg.sender ? msg.sender->GetName() : L"-") + L" " +
            std::to_wstring(msg.wParam));
    tzui::WindowImplBase::Notify(msg);
  }
  LRESULT OnDestroy(WPARAM, LPARAM, bool& handled) override {
    PostQuitMessage(0);
    handled = false;
    return 0;
  }

 private:
  std::wstring desc_;
  std::vector<std::wstring> sets_;
  UINT dpi_;
  int height_;
};

// The strings the boxes look up by key.
CLanguageTable* Languages() {
  static CInstallerInfo info;
  static CLanguageTable languages{info};
  return &languages;
}

// Answers the engine's prompts with the skinned box over the demo owner.
class CDemoOperations final : public IUIOperation {
 public:
  int MessageBox(const std::wstring& title, const std::wstring& text, const std::vector<MessageBoxButton>& buttons) override {
    return ShowSkinnedMessageBox(g_owner, title, text, buttons, Languages());
  }
  void ShowWindow(bool) override {}
};

struct PromptJob {
  std::wstring text, title;
  std::vector<std::wstring> buttons;
  int mask, result;
  DWORD owner_thread;
};

DWORD WINAPI PromptThread(void* param) {
  auto* job = static_cast<PromptJob*>(param);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  job->result = ShowTwoButtonPrompt(job->text, job->title, job->buttons, job->mask);
  CoUninitialize();
  PostThreadMessageW(job->owner_thread, WM_QUIT, 0, 0);
  return 0;
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_LBUTTONDOWN) Print(L"owner click");
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND CreateOwner() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = OwnerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = CreateSolidBrush(RGB(0x40, 0x60, 0x80));
  wc.lpszClassName = L"TzUiDemoOwner";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"uidemo owner", WS_POPUP | WS_VISIBLE, 100, 80, 800, 560, nullptr,
                              nullptr, wc.hInstance, nullptr);
  UpdateWindow(hwnd);
  return hwnd;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  std::wstring skin, lang = L"zh-cn", mode, title, text, desc;
  std::vector<std::wstring> buttons, sets, plain;
  int mask = 0;
  UINT dpi = 0;
  int height = 0;
  bool owner = false, nohost = false, worker = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    auto next = [&]() { return i + 1 < args.size() ? args[++i] : std::wstring(); };
    if (a == L"--skin") skin = next();
    else if (a == L"--lang") lang = next();
    else if (a == L"--dpi") dpi = static_cast<UINT>(_wtoi(next().c_str()));
    else if (a == L"--owner") owner = true;
    else if (a == L"--height") height = _wtoi(next().c_str());
    else if (a == L"--title") title = next();
    else if (a == L"--text") text = next();
    else if (a == L"--button") buttons.push_back(next());
    else if (a == L"--mask") mask = _wtoi(next().c_str());
    else if (a == L"--nohost") nohost = true;
    else if (a == L"--worker") worker = true;
    else if (a == L"--desc") desc = next();
    else if (a == L"--set") sets.push_back(next());
    else if (mode.empty()) mode = a;
    else plain.push_back(a);
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  tzui::EnableProcessDpiAwareness();
  // The strings the boxes look up by key.
  static const char kLang[] = "[Lang]\nMB.BtnText.Ok=\xE7\xA1\xAE\xE5\xAE\x9A\n";
  Languages()->LoadStrings(kLang, sizeof(kLang) - 1);

  std::vector<std::uint8_t> package;
  HANDLE file = CreateFileW(skin.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    package.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!package.empty()) ReadFile(file, package.data(), static_cast<DWORD>(package.size()), &read, nullptr);
    package.resize(read);
    CloseHandle(file);
  }
  tzui::CResourceManager& resources = tzui::CResourceManager::Instance();
  resources.SetResourceSource(tzui::ResourceSource::kZipMemory);
  if (!resources.SetZipPackage(package.data(), package.size())) Print(L"package unreadable");
  resources.LoadStringTable(L"locale\\" + lang + L"\\string.xml");

  if (owner) g_owner = CreateOwner();
  int result = 0;
  if (mode == L"box") {
    BaseMessageBox box;
    box.SetLanguages(Languages());
    box.SetTitleText(title);
    box.SetMessageText(text);
    for (const std::wstring& b : buttons) {
      const size_t c1 = b.find(L':'), c2 = b.find(L':', c1 == std::wstring::npos ? c1 : c1 + 1);
      BaseMessageBox::ButtonRecord r;
      r.text = b.substr(0, c1);
      if (c1 != std::wstring::npos) r.id = _wtoi(b.c_str() + c1 + 1);
      if (c2 != std::wstring::npos) r.style = _wtoi(b.c_str() + c2 + 1);
      box.AddButton(r);
    }
    result = box.ShowModalBox(g_owner);
  } else if (mode == L"prompt") {
    CDemoOperations operations;
    if (!nohost) SetUIHost(&operations, nullptr, 0);
    if (worker) {
      // As an install worker does: the box runs on another thread while this one serves the owner.
      PromptJob job{text, title, plain, mask, 0, GetCurrentThreadId()};
      HANDLE thread = CreateThread(nullptr, 0, PromptThread, &job, 0, nullptr);
      MSG m;
      while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
      WaitForSingleObject(thread, INFINITE);
      CloseHandle(thread);
      result = job.result;
    } else {
      result = ShowTwoButtonPrompt(text, title, plain, mask);
    }
    ClearUIHost();
  } else if (mode == L"okbox") {
    result = ShowSimpleOkBox(g_owner, text, title, Languages());
  } else if (mode == L"window") {
    CDemoWindow window(desc, sets, dpi, height);
    if (!window.Create(g_owner, title, WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION |
                                           WS_SYSMENU | WS_MINIMIZEBOX, 0)) {
      Print(L"create failed");
      return 2;
    }
    window.CenterWindow();
    tzui::WindowImplBase::MessageLoop();
  } else {
    Print(L"unknown mode");
    return 2;
  }
  if (mode != L"window") Print(L"result=" + std::to_wstring(result));
  if (g_owner) {
    Print(IsWindowEnabled(g_owner) ? L"owner enabled" : L"owner disabled");
    DestroyWindow(g_owner);
  }
  CoUninitialize();
  return 0;
}
