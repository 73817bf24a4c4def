#include "ui/install_run.h"

#include <objbase.h>

#include <atomic>
#include <memory>

#include "diag/install_log.h"
#include "platform/process.h"
#include "state/installer_info.h"

namespace {

struct WorkerStart {
  HWND window;
  CInstallerInfo* info;
  CInstallWorker::Stage stage;
};

DWORD WINAPI InstallWorkerMain(void* param) {
  std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(param));
  start->info->SetInfoNumber(II_PHASE, 2);
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int result = start->stage();
  PostMessageW(start->window, kInstallFinishedMessage, static_cast<WPARAM>(result), 0);
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

std::atomic<bool> g_reboot_requested{false};

}  // namespace

bool CProgressState::Advance(int percent, int& shown) {
  if (percent <= last_) return false;
  // The raw value is remembered, so once 150 was reported a later 120 stays ignored.
  last_ = percent;
  shown = percent > 100 ? 100 : percent;
  return true;
}

bool InstallDuration(DWORD start, DWORD end, DWORD& duration) {
  if (end <= start) return false;
  duration = end - start;
  return true;
}

CInstallWorker::~CInstallWorker() {
  if (thread_) CloseHandle(thread_);
}

bool CInstallWorker::Start(HWND window, CInstallerInfo& info, Stage stage) {
  if (running_) return false;
  if (thread_) {
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  auto start = std::make_unique<WorkerStart>(WorkerStart{window, &info, std::move(stage)});
  HANDLE thread = CreateThread(nullptr, 0, InstallWorkerMain, start.get(), 0, nullptr);
  if (!thread) return false;
  start.release();  // the thread owns it now
  thread_ = thread;
  running_ = true;
  return true;
}

bool CInstallWorker::WaitForEnd(DWORD timeout_ms) {
  if (!thread_) return true;
  return WaitForSingleObject(thread_, timeout_ms) == WAIT_OBJECT_0;
}

void RequestRebootAtExit() { g_reboot_requested = true; }

bool RebootRequested() { return g_reboot_requested; }

bool RebootIfRequested() {
  if (!g_reboot_requested) return false;
  if (tz::Reboot()) return true;
  GetLog().Error(L"重启电脑失败, 错误码%u", static_cast<unsigned>(GetLastError()));
  return false;
}

namespace {

using ShutdownBlockCreateFn = BOOL(WINAPI*)(HWND, LPCWSTR);
using ShutdownBlockDestroyFn = BOOL(WINAPI*)(HWND);

void* User32Proc(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<void*>(GetProcAddress(user32, name)) : nullptr;
}

}  // namespace

void BlockShutdown(HWND window, const std::wstring& reason) {
  auto create = reinterpret_cast<ShutdownBlockCreateFn>(User32Proc("ShutdownBlockReasonCreate"));
  if (create && window) create(window, reason.c_str());
}

void UnblockShutdown(HWND window) {
  auto destroy = reinterpret_cast<ShutdownBlockDestroyFn>(User32Proc("ShutdownBlockReasonDestroy"));
  if (destroy && window) destroy(window);
}
