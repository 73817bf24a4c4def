#pragma once
// The installer's window: start page (install directory, options panel, licence agreement),
// overwrite page, installing page with its progress, finish page; the licence layout over them.
// It starts the install on a worker thread and reports the result through its message loop.
#include <windows.h>
#include <richedit.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/window_impl.h"
#include "ui/install_dir.h"
#include "ui/install_run.h"
#include "state/ui_host.h"
#include "ui/main_window.h"

class CStageRunner;
class RunContext;

namespace tzui {
class CControlUI;
}

class CDlgMain : public tzui::WindowImplBase,
                 public IMainWnd,
                 public IInstallStatusCallback,
                 public IUIOperation {
 public:
  enum Page { kStartPage = 0, kOverwritePage = 1, kInstallingPage = 2, kFinishPage = 3 };

  CDlgMain(RunContext& run, CStageRunner& stages, std::function<std::wstring()> default_install_dir);
  // Empties the UI host and drops the toolkit's view of the skin package, created or not.
  ~CDlgMain() override;

  // IMainWnd
  void Destroy() override { delete this; }
  void Init(HINSTANCE instance) override;
  bool CreateAndShow() override;
  int RunMessageLoop() override;
  void OnEnd() override {}

  // IInstallStatusCallback: any thread; posts to the window and returns.
  void Progress(int percent) override;
  void ActionText(const std::wstring&) override {}
  void ExtractedFile(const std::wstring&) override {}

  // IUIOperation: the thread that runs the stage.
  int MessageBox(const std::wstring& title, const std::wstring& text,
                 const std::vector<MessageBoxButton>& buttons) override;
  void ShowWindow(bool show) override;

  int CurrentPage() const { return page_; }

 protected:
  std::wstring GetWindowClassName() const override { return class_name_; }
  std::wstring GetSkinFile() override { return L"instskin.xml"; }
  void InitWindow() override;
  void Notify(tzui::TNotifyUI& msg) override;
  void OnClick(tzui::TNotifyUI& msg) override;
  LRESULT OnClose(WPARAM wParam, LPARAM lParam, bool& handled) override;
  LRESULT OnDestroy(WPARAM wParam, LPARAM lParam, bool& handled) override;
  LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
  tzui::CControlUI* CreateControl(std::wstring_view type_name) override;

  // Opens or closes the options panel (the window grows by the panel's height): animated when an
  // animation starts, at once otherwise.
  void ToggleOptionsPanel();
  // Starts the height animation towards `open`; false when there is none to run.
  virtual bool StartPanelAnimation(bool) { return false; }
  // The panel's end state without animation: window height and panel visibility.
  void SetPanelOpenAtOnce(bool open);
  // Sets the window's height (96-DPI units) keeping width, position and z-order.
  void SetWindowHeight(int height);

 private:
  void SwitchPage(int page);
  void ShowLicenceLayout(bool show);
  void LoadLicenceText();
  void FocusPrimaryButton();

  void StartFromStartPage();
  void StartFromOverwritePage();
  void StartInstall();
  void OnInstallFinished(int result);
  void OnProgress(int percent);
  void OfferReboot();
  // The failure box, then the window closes with `result` as the install result.
  void EndWithFailure(int result);
  void ShowError(const std::wstring& text);
  // Back to the page the install started from, usable again.
  void ReturnToStartingPage();

  const std::wstring& DefaultDir();
  std::uint64_t DiskRequirement();
  std::wstring Lang(const wchar_t* key);
  void SetVar(const wchar_t* name, const std::wstring& value);

  RunContext& run_;
  CStageRunner& stages_;
  std::function<std::wstring()> default_install_dir_;
  std::vector<std::uint8_t> skin_;
  std::wstring class_name_;
  int result_ = 0;
  int normal_height_ = 0;
  int expanded_height_ = 0;
  int main_caption_height_ = 0;
  int licence_caption_height_ = 0;
  std::wstring install_path_;
  int page_ = kStartPage;
  tzui::CControlUI* pages_[4] = {};
  CProgressState progress_;
  DWORD install_start_tick_ = 0;
  DWORD install_duration_ = 0;
  std::wstring default_dir_;
  bool default_dir_known_ = false;
  bool panel_open_ = false;
  bool overwrite_ = false;

  // The page an install started from, where a stage result of 1 returns to.
  int start_page_ = kStartPage;
  // A button's stage (validation, preinstall) is running: further presses and closing wait.
  bool stage_busy_ = false;
  CInstallWorker worker_;
  // The window for reports from other threads; null before creation and after destruction.
  std::atomic<HWND> report_window_{nullptr};
};
