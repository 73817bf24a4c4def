#include <gtest/gtest.h>
#include <windows.h>

#include "core/engine.h"
#include "state/message_box.h"
#include "state/ui_host.h"
#include "toolkit/resource_package.h"
#include "ui/main_window.h"

namespace {

// A window object whose window was never created (a failed Create, or a silent run) still leaves
// nothing behind: the engine's later prompts find no window, the toolkit no package.
TEST(MainWindowObject, GoingAwayUncreatedLeavesNoHostAndNoPackage) {
  CEngine engine;
  IMainWnd* window = CreateMainWindowObject(engine.run, engine.stages, [] { return std::wstring(L"C:\\Prod"); });
  window->Init(GetModuleHandleW(nullptr));
  const UIHostState filled = GetUIHost();
  EXPECT_NE(filled.operations, nullptr);
  EXPECT_NE(filled.status, nullptr);
  EXPECT_EQ(filled.flags, 11u);
  EXPECT_TRUE(tzui::CResourceManager::Instance().HasEntry(L"instskin.xml"));

  window->Destroy();
  const UIHostState emptied = GetUIHost();
  EXPECT_EQ(emptied.operations, nullptr);
  EXPECT_EQ(emptied.status, nullptr);
  EXPECT_EQ(emptied.flags, 0u);
  EXPECT_FALSE(tzui::CResourceManager::Instance().HasEntry(L"instskin.xml"));
  EXPECT_EQ(ShowTwoButtonPrompt(L"text", L"title", {L"OK"}, 0), 0);
}

}  // namespace
