#include <gtest/gtest.h>
#include <windows.h>

#include "core/main_flow.h"
#include "script/run_context.h"
#include "state/options_store.h"

namespace {

class DefaultInstallDirTest : public ::testing::Test {
 protected:
  RunContext run_;  // a fresh run for every test
};

}  // namespace

TEST(OptionsStore, SilentAndOverwriteStartFalse) {
  COptionsStore store;
  VARIANT v;
  VariantInit(&v);
  ASSERT_TRUE(store.GetOption(OPT_SILENT, &v));
  EXPECT_EQ(v.vt, VT_BOOL);
  EXPECT_EQ(v.boolVal, VARIANT_FALSE);
  EXPECT_FALSE(store.IsTrue(OPT_OVERWRITE));
  EXPECT_FALSE(store.GetOption(OPT_INSTDIR, &v));
}

TEST(OptionsStore, OnlyVariantTrueCountsAsTrue) {
  COptionsStore store;
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = 1;  // not all bits set
  store.SetOption(OPT_LOG, v);
  EXPECT_FALSE(store.IsTrue(OPT_LOG));
  v.vt = VT_I4;
  v.lVal = -1;
  store.SetOption(OPT_LOG, v);
  EXPECT_FALSE(store.IsTrue(OPT_LOG));
  store.SetBool(OPT_LOG, true);
  EXPECT_TRUE(store.IsTrue(OPT_LOG));
}

TEST(OptionsStore, TextOnlyFromBstrAndLeftUntouchedOtherwise) {
  COptionsStore store;
  std::wstring text = L"unchanged";
  store.SetUInt64(OPT_DISKREQUIRE, 5);
  EXPECT_FALSE(store.GetOptionText(OPT_DISKREQUIRE, text));
  EXPECT_FALSE(store.GetOptionText(OPT_APPNAME, text));
  EXPECT_EQ(text, L"unchanged");
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = nullptr;  // a null string reads as empty
  store.SetOption(OPT_APPNAME, v);
  EXPECT_TRUE(store.GetOptionText(OPT_APPNAME, text));
  EXPECT_EQ(text, L"");
  store.SetText(OPT_APPNAME, L"a\0b");
  store.SetText(OPT_APPNAME, L"second");  // replaces
  EXPECT_TRUE(store.GetOptionText(OPT_APPNAME, text));
  EXPECT_EQ(text, L"second");
}

TEST_F(DefaultInstallDirTest, ProgramFilesAndAppNameWithoutSettings) {
  run_.options.SetText(OPT_APPNAME, L"App");
  wchar_t program_files[MAX_PATH] = {};
  GetEnvironmentVariableW(L"ProgramFiles", program_files, MAX_PATH);
  EXPECT_EQ(DefaultInstallDir(run_), std::wstring(program_files) + L"\\App");
}

TEST_F(DefaultInstallDirTest, SettingsAreExpanded) {
  run_.options.SetText(OPT_APPNAME, L"Lumo");
  run_.options.SetText(OPT_DEFAULTPATH, L"C:\\%APPNAME%Root");
  run_.options.SetText(OPT_DIRNAME, L"%APPNAME% Files");
  EXPECT_EQ(DefaultInstallDir(run_), L"C:\\LumoRoot\\Lumo Files");
}

TEST_F(DefaultInstallDirTest, DefaultPathAndDirNameJoinedByOneBackslash) {
  run_.options.SetText(OPT_DEFAULTPATH, L"D:\\Apps");
  run_.options.SetText(OPT_DIRNAME, L"Tool");
  EXPECT_EQ(DefaultInstallDir(run_), L"D:\\Apps\\Tool");
  run_.options.SetText(OPT_DEFAULTPATH, L"D:\\");  // nothing trimmed
  EXPECT_EQ(DefaultInstallDir(run_), L"D:\\\\Tool");
  run_.options.SetText(OPT_DEFAULTPATH, L"");  // empty counts as absent
  EXPECT_NE(DefaultInstallDir(run_).find(L"\\Tool"), std::wstring::npos);
}

TEST(SingleInstanceName, ExplicitNameIsUsedAsIs) {
  COptionsStore options;
  EXPECT_EQ(SingleInstanceName(options, L"0", L"setup.exe"), L"0");
  EXPECT_EQ(SingleInstanceName(options, L"MyGuard", L"setup.exe"), L"MyGuard");
  EXPECT_EQ(SingleInstanceName(options, L"TRUEish", L"setup.exe"), L"TRUEish");
}

TEST(SingleInstanceName, DerivedFromInstallerNameWithoutExe) {
  COptionsStore without_app;
  EXPECT_EQ(SingleInstanceName(without_app, L"1", L"setup.exe"), L"setup_");
  COptionsStore options;
  options.SetText(OPT_APPNAME, L"Prod\\uct");
  for (const wchar_t* setting : {L"", L"true", L"TRUE", L"1"})
    EXPECT_EQ(SingleInstanceName(options, setting, L"Setup.EXE"), L"Setup_Prod_uct") << setting;
  EXPECT_EQ(SingleInstanceName(options, L"1", L"setup.msi"), L"setup.msi_Prod_uct");
  const std::wstring long_name = std::wstring(70, L'n') + L".exe";
  EXPECT_EQ(SingleInstanceName(options, L"1", long_name), std::wstring(63, L'n') + L"_Prod_uct");
}
