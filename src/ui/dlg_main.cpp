#include "ui/dlg_main.h"

#include <utility>

#include "actions/stage_runner.h"
#include "diag/install_log.h"
#include "platform/filesystem.h"
#include "platform/process.h"
#include "platform/text_compare.h"
#include "script/run_context.h"
#include "toolkit/dpi.h"
#include "toolkit/resource_package.h"
#include "ui/base_message_box.h"
#include "ui/gradient_progress.h"
#include "ui/licence_text.h"
#include "ui/rounded_controls.h"
#include "ui/skin_package.h"

namespace {

constexpr DWORD kMainWindowStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION |
                                   WS_SYSMENU | WS_MINIMIZEBOX;
// After the window is gone the worker has only its COM apartment left to close; onexit must not
// unload what the stage used while it still runs, but a hung worker must not hang the installer.
constexpr DWORD kWorkerEndWaitMs = 10000;
constexpr unsigned kReportFlags = UI_NOTIFY_PROGRESS | UI_NOTIFY_ACTION_TEXT | UI_NOTIFY_EXTRACTED_FILE;

const wchar_t* const kPageNames[] = {L"startpage", L"overwritepage", L"installingpage", L"finishpage"};

template <typename T>
T* As(tzui::CControlUI* control) {
  return dynamic_cast<T*>(control);
}

// Scale factor of the licence's point sizes: the desktop's real horizontal resolution over the one
// the system reports to this process (1 when the query fails).
double LicenceScaleFactor() {
  HDC screen = GetDC(nullptr);
  if (!screen) return 1.0;
  const int reported = GetDeviceCaps(screen, HORZRES);
  const int real = GetDeviceCaps(screen, DESKTOPHORZRES);
  ReleaseDC(nullptr, screen);
  if (reported <= 0 || real <= 0) return 1.0;
  return static_cast<double>(real) / reported;
}

CHARFORMAT2W LicenceFormat(COLORREF color, int twips) {
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_SIZE | CFM_COLOR;
  format.crTextColor = color;
  format.yHeight = twips;
  return format;
}

// Clears a flag when the handler that set it returns, whichever way.
class BusyScope {
 public:
  explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~BusyScope() { flag_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

CDlgMain::CDlgMain(RunContext& run, CStageRunner& stages, std::function<std::wstring()> default_install_dir)
    : run_(run), stages_(stages), default_install_dir_(std::move(default_install_dir)) {
  if (!run_.options.GetOptionText(OPT_WINDOWCLASS, class_name_) || class_name_.empty())
    class_name_ = L"DazeVaraSetupWndClass";
}

std::wstring CDlgMain::Lang(const wchar_t* key) { return run_.languages.GetString(key); }

void CDlgMain::SetVar(const wchar_t* name, const std::wstring& value) { run_.variables.SetVariable(name, value); }

CDlgMain::~CDlgMain() {
  // Whatever happened to the window, nothing may reach this object or the package copy later.
  report_window_ = nullptr;
  ClearUIHost();
  tzui::CResourceManager::Instance().ClearPackage();
}

void CDlgMain::Init(HINSTANCE instance) {
  tzui::CResourceManager::Instance().SetInstance(instance);
  tzui::EnableProcessDpiAwareness();
  LoadSkinPackageOrExit(instance, run_.languages, skin_);
  SetUIHost(this, this, kReportFlags);
}

bool CDlgMain::CreateAndShow() {
  if (!Create(nullptr, L"", kMainWindowStyle, 0)) return false;
  report_window_ = GetHWND();
  CenterWindow();
  FocusPrimaryButton();
  return true;
}

int CDlgMain::RunMessageLoop() {
  MessageLoop();
  if (!worker_.WaitForEnd(kWorkerEndWaitMs)) GetLog().Write(LOG_WARNING, L"安装线程未在窗口关闭后结束");
  return result_;
}

void CDlgMain::InitWindow() {
  SetTitle(Lang(L"Inst.Window.TitleText"));
  SetDPI(tzui::DpiForWindow(GetHWND()));
  for (int i = 0; i < 4; ++i) pages_[i] = FindControl(kPageNames[i]);
  overwrite_ = run_.options.IsTrue(OPT_OVERWRITE);

  if (tzui::CControlUI* marker = FindControl(L"normalsize")) {
    normal_height_ = marker->GetFixedHeight();
    main_caption_height_ = marker->GetFixedWidth();
  }
  if (tzui::CControlUI* marker = FindControl(L"advancedsize")) {
    expanded_height_ = marker->GetFixedHeight();
    licence_caption_height_ = marker->GetFixedWidth();
  }

  std::wstring version;
  run_.variables.GetBuiltin(L"PRODVER", version);
  if (!version.empty()) {
    for (const wchar_t* name : {L"prodver", L"prodverlicense"})
      if (tzui::CControlUI* label = FindControl(name)) label->SetText(L"v" + version);
  }

  if (overwrite_) {
    SwitchPage(kOverwritePage);
    return;
  }
  LoadLicenceText();
  install_path_ = DefaultDir();
  if (!install_path_.empty())
    if (tzui::CControlUI* label = FindControl(L"installpath")) label->SetText(install_path_);
  if (!tz::IsWow64())
    if (tzui::CControlUI* x86 = FindControl(L"chkinstx86file")) x86->SetVisible(false);
}

tzui::CControlUI* CDlgMain::CreateControl(std::wstring_view type_name) {
  if (tzui::CControlUI* control = CreateGradientProgress(type_name)) return control;
  return CreateRoundedControl(type_name);
}

void CDlgMain::LoadLicenceText() {
  auto* edit = As<tzui::CRichEditUI>(FindControl(L"licensetext"));
  if (!edit) return;
  const std::wstring resource = run_.languages.GetFileResource(L"license_txt");
  if (resource.empty()) return;
  HMODULE self = run_.info.Instance();
  HRSRC found = FindResourceExW(self, L"LANG", resource.c_str(), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
  const DWORD size = found ? SizeofResource(self, found) : 0;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return;

  const LicenceParts parts = SplitLicenceText(DecodeLicenceText(data, size));
  const double factor = LicenceScaleFactor();
  edit->AppendText(parts.title, false);
  edit->SetSel(0, -1);
  CHARFORMAT2W title_format = LicenceFormat(RGB(255, 255, 255), LicenceTwips(195, factor));
  edit->SetSelectionCharFormat(title_format);
  if (parts.has_body) {
    edit->AppendText(parts.body, false);
    edit->SetSel(static_cast<long>(parts.title.size()), -1);
    CHARFORMAT2W body_format = LicenceFormat(RGB(132, 136, 149), LicenceTwips(180, factor));
    edit->SetSelectionCharFormat(body_format);
  }
  edit->SetSel(0, 0);
}

const std::wstring& CDlgMain::DefaultDir() {
  if (!default_dir_known_) {
    default_dir_ = default_install_dir_ ? default_install_dir_() : std::wstring();
    default_dir_known_ = true;
  }
  return default_dir_;
}

std::uint64_t CDlgMain::DiskRequirement() {
  VARIANT value;
  VariantInit(&value);
  std::uint64_t required = 0;
  if (run_.options.GetOption(OPT_DISKREQUIRE, &value) && value.vt == VT_UI8) required = value.ullVal;
  VariantClear(&value);
  return required;
}

void CDlgMain::SetWindowHeight(int height) {
  HWND window = GetHWND();
  if (!window || height <= 0) return;
  RECT rc{};
  GetWindowRect(window, &rc);
  SetWindowPos(window, nullptr, 0, 0, rc.right - rc.left, GetPaintManager().Scale(height),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDlgMain::SwitchPage(int page) {
  if (page == page_ || page < 0 || page > 3) return;
  for (tzui::CControlUI* p : pages_)
    if (p) p->SetVisible(false);
  if (pages_[page]) pages_[page]->SetVisible(true);
  page_ = page;
  tzui::CControlUI* close = FindControl(L"closebtn");
  if (page == kInstallingPage) {
    panel_open_ = false;
    if (tzui::CControlUI* panel = FindControl(L"advpanel")) panel->SetVisible(false);
    if (auto* adv = As<CRoundedCheckboxUI>(FindControl(L"advbutton"))) adv->SetCheck(false);
    SetWindowHeight(normal_height_);
    if (close) {
      close->SetEnabled(false);
      close->SetToolTip(L"");
    }
  } else if (page == kFinishPage && close) {
    close->SetEnabled(true);
    close->SetToolTip(Lang(L"Tooltip.CloseButton"));
  }
  FocusPrimaryButton();
}

void CDlgMain::FocusPrimaryButton() {
  static const wchar_t* const kPrimary[] = {L"instbtn", L"overbtn", nullptr, L"startexe"};
  const wchar_t* name = kPrimary[page_];
  tzui::CControlUI* button = name ? FindControl(name) : nullptr;
  if (button && button->IsVisible() && button->IsEnabled()) button->SetFocus();
}

void CDlgMain::ShowLicenceLayout(bool show) {
  if (tzui::CControlUI* licence = FindControl(L"licenselayout")) licence->SetVisible(show);
  if (tzui::CControlUI* main = FindControl(L"instlayout")) main->SetVisible(!show);
  RECT caption = GetPaintManager().GetCaptionRect();
  caption.bottom = show ? licence_caption_height_ : main_caption_height_;
  GetPaintManager().SetCaptionRect(caption);
  if (show) {
    if (tzui::CControlUI* gotit = FindControl(L"gotit")) gotit->SetFocus();
  } else {
    FocusPrimaryButton();
  }
}

void CDlgMain::ToggleOptionsPanel() {
  panel_open_ = !panel_open_;
  // A refused animation must not leave the toggle half done.
  if (!StartPanelAnimation(panel_open_)) SetPanelOpenAtOnce(panel_open_);
  SetVar(L"STAT_ADVOPT", L"1");
}

void CDlgMain::SetPanelOpenAtOnce(bool open) {
  SetWindowHeight(open ? expanded_height_ : normal_height_);
  if (tzui::CControlUI* panel = FindControl(L"advpanel")) panel->SetVisible(open);
}

void CDlgMain::Notify(tzui::TNotifyUI& msg) {
  if (msg.type == L"checkclick" && msg.sender && tz::EqualsIgnoreCase(msg.sender->GetName(), L"agree")) {
    if (tzui::CControlUI* install = FindControl(L"instbtn")) install->SetEnabled(msg.wParam != 0);
    return;
  }
  tzui::WindowImplBase::Notify(msg);
}

void CDlgMain::OnClick(tzui::TNotifyUI& msg) {
  if (!msg.sender) return;
  const std::wstring& name = msg.sender->GetName();
  auto is = [&name](const wchar_t* n) { return tz::EqualsIgnoreCase(name, n); };
  if (is(L"instbtn")) {
    StartFromStartPage();
  } else if (is(L"overbtn")) {
    StartFromOverwritePage();
  } else if (is(L"advbutton")) {
    ToggleOptionsPanel();
  } else if (is(L"changedir")) {
    std::wstring chosen;
    if (tz::BrowseForFolder(GetHWND(), Lang(L"Select.InstDir.Text"), chosen) && !chosen.empty() &&
        !tz::EqualsIgnoreCase(chosen, install_path_)) {
      std::wstring dirname;
      run_.options.GetOptionText(OPT_DIRNAME, dirname);
      install_path_ = InstallPathFromBrowse(chosen, run_.Expand(dirname));
      if (tzui::CControlUI* label = FindControl(L"installpath")) label->SetText(install_path_);
    }
    SetVar(L"STAT_SELDIR", L"1");
  } else if (is(L"agreement")) {
    ShowLicenceLayout(true);
    SetVar(L"STAT_LICENSE", L"1");
  } else if (is(L"startexe")) {
    SetVar(L"CLICKSTARTMAIN", L"1");
    Close(1);
  } else if (is(L"minbtnlicense")) {
    SendMessageW(GetHWND(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (is(L"closebtnlicense") || is(L"gotit")) {
    ShowLicenceLayout(false);
  } else {
    if (is(L"closebtn")) {
      if (page_ == kStartPage || page_ == kOverwritePage) SetVar(L"STAT_CLOSEBEFOREINST", L"1");
      if (page_ == kFinishPage) SetVar(L"STAT_CLOSEAFTERINST", L"1");
    }
    tzui::WindowImplBase::OnClick(msg);
  }
}

void CDlgMain::ShowError(const std::wstring& text) { ShowSimpleOkBox(GetHWND(), text, Lang(L"MB.Title.Text"), &run_.languages); }

void CDlgMain::StartFromStartPage() {
  if (stage_busy_ || worker_.Running()) return;
  BusyScope busy(stage_busy_);
  // What the user sees is what is checked and what the install then uses.
  tzui::CControlUI* label = FindControl(L"installpath");
  const std::wstring path = label ? label->GetText() : install_path_;
  const InstallDirProblem problem = ValidateInstallDir(path, DiskRequirement());
  if (problem != InstallDirProblem::kNone) {
    ShowError(Lang(InstallDirMessageKey(problem)));
    return;
  }
  install_path_ = path;
  run_.options.SetText(OPT_INSTDIR, path);
  SetVar(L"STAT_DEFINSTDIR", tz::EqualsIgnoreCase(path, DefaultDir()) ? L"1" : L"0");
  auto* shortcut = As<CRoundedCheckboxUI>(FindControl(L"chkcreateshortcut"));
  SetVar(L"CREATESHORTCUT", !shortcut || shortcut->GetCheck() ? L"1" : L"0");
  SetVar(L"INSTX86FILE", L"1");
  SetVar(L"STAT_INSTX86FILE", L"1");
  start_page_ = kStartPage;
  StartInstall();
}

void CDlgMain::StartFromOverwritePage() {
  if (stage_busy_ || worker_.Running()) return;
  BusyScope busy(stage_busy_);
  std::wstring path;
  run_.options.GetOptionText(OPT_INSTDIR, path);
  install_path_ = path;
  const std::uint64_t required = DiskRequirement();
  if (required != 0 && !VolumeHasFreeSpace(path, required)) {
    ShowError(FillPlaceholder(Lang(L"Error.Text.SpaceNotEnoughOverwrite"), tz::FormatSize(required)));
    return;
  }
  const int pre = stages_.RunStage(STAGE_PREINSTALL);
  if (pre == 1) return;
  if (pre == 2 || pre == 3) {
    // An aborted preinstall is a failed install: nothing is installed over the old one.
    EndWithFailure(pre);
    return;
  }
  start_page_ = kOverwritePage;
  StartInstall();
}

void CDlgMain::StartInstall() {
  install_start_tick_ = GetTickCount();
  std::wstring dir;
  run_.options.GetOptionText(OPT_INSTDIR, dir);
  GetLog().Info(L"安装目录: %s", dir.c_str());
  SwitchPage(kInstallingPage);
  BlockShutdown(GetHWND(), L"正在安装，请勿关闭计算机");
  if (!worker_.Start(GetHWND(), run_.info, [this] { return stages_.RunStage(STAGE_INSTALL); })) {
    UnblockShutdown(GetHWND());
    GetLog().Error(L"安装线程启动失败, 错误码%u", static_cast<unsigned>(GetLastError()));
    EndWithFailure(3);
  }
}

void CDlgMain::EndWithFailure(int result) {
  result_ = result;
  ShowError(Lang(L"Error.Text.InstallFail"));
  Close(1);
}

void CDlgMain::OnProgress(int percent) {
  int shown = 0;
  if (!progress_.Advance(percent, shown)) return;
  if (auto* bar = As<tzui::CProgressUI>(FindControl(L"instprog"))) bar->SetValue(shown);
  if (tzui::CControlUI* text = FindControl(L"progtext"))
    text->SetText(FillPlaceholder(Lang(L"Installing.TextFormt"), std::to_wstring(shown)));
}

void CDlgMain::OnInstallFinished(int result) {
  worker_.Finished();
  UnblockShutdown(GetHWND());
  run_.info.SetInfoNumber(II_PHASE, 3);
  DWORD duration = 0;
  if (InstallDuration(install_start_tick_, GetTickCount(), duration)) {
    install_duration_ = duration;
    SetVar(L"STAT_INSTCOST", std::to_wstring(duration));
  }
  if (result == 0) {
    OfferReboot();
    SwitchPage(kFinishPage);
    SetVar(L"CLICKSTARTMAIN", L"1");
    Close(1);
  } else if (result == 2 || result == 3) {
    EndWithFailure(result);
  } else {
    ReturnToStartingPage();
  }
}

void CDlgMain::ReturnToStartingPage() {
  progress_ = CProgressState();
  if (auto* bar = As<tzui::CProgressUI>(FindControl(L"instprog"))) bar->SetValue(0);
  if (tzui::CControlUI* text = FindControl(L"progtext")) text->SetText(L"");
  SwitchPage(start_page_);
  if (tzui::CControlUI* close = FindControl(L"closebtn")) {
    close->SetEnabled(true);
    close->SetToolTip(Lang(L"Tooltip.CloseButton"));
  }
}

void CDlgMain::OfferReboot() {
  if (!run_.options.IsTrue(OPT_NEEDREBOOT)) return;
  const int answer = MessageBox(Lang(L"MB.Title.Text"), Lang(L"Info.Text.NeedReboot"),
                                {MessageBoxButton{L"MB.BtnText.RebootNow", true, true, 10}});
  if (answer == 10) {
    GetLog().Info(L"用户选择立即重启电脑");
    RequestRebootAtExit();
  } else {
    GetLog().Info(L"用户未选择重启电脑, 返回值%d", answer);
  }
}

void CDlgMain::Progress(int percent) {
  if (HWND window = report_window_.load())
    PostMessageW(window, kInstallProgressMessage, static_cast<WPARAM>(percent), 0);
}

int CDlgMain::MessageBox(const std::wstring& title, const std::wstring& text,
                         const std::vector<MessageBoxButton>& buttons) {
  return ShowSkinnedMessageBox(report_window_.load(), title, text, buttons, &run_.languages);
}

void CDlgMain::ShowWindow(bool show) {
  if (HWND window = report_window_.load()) ::ShowWindow(window, show ? SW_SHOW : SW_HIDE);
}

LRESULT CDlgMain::OnClose(WPARAM, LPARAM, bool& handled) {
  // The user cannot close while a stage of ours runs; the closes we post come after it.
  handled = worker_.Running() || stage_busy_;
  return 0;
}

LRESULT CDlgMain::OnDestroy(WPARAM, LPARAM, bool& handled) {
  report_window_ = nullptr;
  ClearUIHost();
  PostQuitMessage(0);
  handled = false;
  return 0;
}

LRESULT CDlgMain::HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM, bool& handled) {
  handled = false;
  switch (msg) {
    case kInstallProgressMessage:
      handled = true;
      OnProgress(static_cast<int>(wParam));
      return 0;
    case kInstallFinishedMessage:
      handled = true;
      OnInstallFinished(static_cast<int>(wParam));
      return 0;
    case WM_QUERYENDSESSION:
      if (worker_.Running()) {
        handled = true;
        return FALSE;
      }
      return 0;
    default:
      return 0;
  }
}
