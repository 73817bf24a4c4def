#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

#include "core/options_store.h"
#include "script/installer_info.h"
#include "script/language_table.h"
#include "script/text_expand.h"
#include "script/variable_store.h"

namespace {

class ExpandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetInstallerInfo().SetInstance(GetModuleHandleW(nullptr));
    GetVariableStore().ResetForTests();
    GetOptions().SetText(OPT_INSTDIR, L"C:\\Apps\\Lumo");
    GetOptions().SetText(OPT_APPNAME, L"Lumo");
    GetOptions().Remove(OPT_CHANNEL);
    GetLanguageTable().ResetForTests();
    GetLanguageTable().AddStringTable(L"zh-cn", L"lang_utf8");
    GetLanguageTable().ChooseLanguage(L"zh-cn");
  }
};

std::wstring Env(const wchar_t* name) {
  wchar_t buf[1024] = {};
  GetEnvironmentVariableW(name, buf, 1024);
  return buf;
}

}  // namespace

TEST_F(ExpandTest, PairsAndTokens) {
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"", L""},
      {L"no references", L"no references"},
      {L"%%", L""},
      {L"100% sure %INSTDIR%", L"100INSTDIR%"},
      {L"HKLM\\SOFTWARE\\%APPNAME%", L"HKLM\\SOFTWARE\\Lumo"},
      {L"%INSTDIR%\\bin;%INSTDIR%", L"C:\\Apps\\Lumo\\bin;C:\\Apps\\Lumo"},
      {L"%NothingKnowsThisName%x", L"x"},
      {L"50%", L"50%"},
      // A name of 32 characters is too long to pair: the rest stays as written.
      {L"%ABCDEFGHIJKLMNOPQRSTUVWXYZ012345% %APPNAME%", L"%ABCDEFGHIJKLMNOPQRSTUVWXYZ012345% %APPNAME%"},
      {L"%ABCDEFGHIJKLMNOPQRSTUVWXYZ01234%|%APPNAME%", L"|Lumo"},
      {L"%#App.DisplayName#%", L"Lumo"},
      {L"%#Inst.Window.TitleText#%", L"Lumo安装程序"},
      {L"%#Missing.Key#%", L"Missing.Key"},
      {L"%##%", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(Expand(c.in), c.out) << c.in;
}

TEST_F(ExpandTest, NamesAreCaseSensitiveAndFallToTheEnvironment) {
  SetEnvironmentVariableW(L"TZ_EXPAND_ENV", L"from-env");
  EXPECT_EQ(Expand(L"%tz_expand_env%"), L"from-env");
  EXPECT_EQ(Expand(L"%instdir%"), Env(L"instdir"));  // not the built-in INSTDIR
  EXPECT_EQ(Expand(L"%ProgramFiles%"), Env(L"ProgramFiles"));
}

TEST_F(ExpandTest, VariableValuesExpandAgain) {
  auto& vars = GetVariableStore();
  vars.SetVariable(L"BINDIR", L"%INSTDIR%\\bin");
  EXPECT_EQ(Expand(L"%BINDIR%\\app.exe"), L"C:\\Apps\\Lumo\\bin\\app.exe");
  vars.SetVariable(L"SELF", L"a%SELF%");  // refers to itself: stops after 64 passes
  EXPECT_EQ(Expand(L"%SELF%"), std::wstring(64, L'a') + L"%SELF%");
  vars.SetVariable(L"TWICE", L"%TWICE%%TWICE%");  // doubles at every pass: stops before 64K characters
  std::wstring twice;
  for (int i = 0; i < 1 << 13; ++i) twice += L"%TWICE%";
  EXPECT_EQ(Expand(L"%TWICE%"), twice);
  vars.SetVariable(L"BIG", std::wstring(10000, L'z'));
  EXPECT_EQ(Expand(L"[%BIG%]"), L"[" + std::wstring(10000, L'z') + L"]");
}

TEST_F(ExpandTest, BuiltinsShadowScriptVariablesInTexts) {
  GetVariableStore().SetVariable(L"APPNAME", L"script value");
  EXPECT_EQ(Expand(L"%APPNAME%"), L"Lumo");
  std::wstring v;
  ASSERT_TRUE(GetVariableStore().GetVariable(L"APPNAME", v));
  EXPECT_EQ(v, L"script value");
}

TEST_F(ExpandTest, ClockAndChannelBuiltins) {
  EXPECT_TRUE(std::regex_match(Expand(L"%CURDATE%"), std::wregex(L"\\d{4}-\\d{2}-\\d{2}")));
  EXPECT_TRUE(std::regex_match(Expand(L"%CURTIME%"), std::wregex(L"\\d{2}:\\d{2}:\\d{2}")));
  EXPECT_TRUE(std::regex_match(Expand(L"%CURTIME1%"), std::wregex(L"\\d{2}-\\d{2}-\\d{2}")));
  EXPECT_EQ(Expand(L"%CHANNELID%"), L"1");  // no SpecialBuild in this program
  GetOptions().SetText(OPT_CHANNEL, L"");
  EXPECT_EQ(Expand(L"%CHANNELID%"), L"1");
  GetOptions().SetText(OPT_CHANNEL, L"12345");
  EXPECT_EQ(Expand(L"%CHANNELID%"), L"12345");
}

TEST_F(ExpandTest, EveryBuiltinIsAHitEvenWhenEmpty) {
  GetOptions().Remove(OPT_DEFAULTPATH);
  std::wstring v = L"x";
  EXPECT_TRUE(GetVariableStore().GetBuiltin(L"DEFINSTDIR", v));
  EXPECT_EQ(v, L"");
  for (const wchar_t* name : {L"INSTALLER", L"INSTALLERNAME", L"INSTALLERDIR", L"USERDESKTOP", L"PUBLICDESKTOP",
                              L"SMPROGRAMS", L"PROGRAMFILES32BIT", L"PROGRAMFILEALWAYS", L"PRODVER", L"FILEVERTEXT"})
    EXPECT_TRUE(GetVariableStore().GetBuiltin(name, v)) << name;
  EXPECT_FALSE(GetVariableStore().GetBuiltin(L"Installer", v));
  std::wstring name;
  GetInstallerInfo().GetInfoText(II_NAME, name);
  EXPECT_EQ(Expand(L"%INSTALLERNAME%"), name);
  unsigned long long wow = 0;
  GetInstallerInfo().GetInfoNumber(II_IS64BITOS, wow);
  if (wow) {
    EXPECT_EQ(Expand(L"%PROGRAMFILEALWAYS%"), Env(L"ProgramW6432"));
  }
}
