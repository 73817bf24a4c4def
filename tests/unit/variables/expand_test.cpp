#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

#include "script/run_context.h"

namespace {

class ExpandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run_.info.SetInstance(GetModuleHandleW(nullptr));
    run_.options.SetText(OPT_INSTDIR, L"C:\\Apps\\Lumo");
    run_.options.SetText(OPT_APPNAME, L"Lumo");
    run_.languages.AddStringTable(L"zh-cn", L"lang_utf8");
    run_.languages.ChooseLanguage(L"zh-cn");
  }

  RunContext run_;  // a fresh run for every test
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
  for (const auto& c : cases) EXPECT_EQ(run_.Expand(c.in), c.out) << c.in;
}

TEST_F(ExpandTest, NamesAreCaseSensitiveAndFallToTheEnvironment) {
  SetEnvironmentVariableW(L"TZ_EXPAND_ENV", L"from-env");
  EXPECT_EQ(run_.Expand(L"%tz_expand_env%"), L"from-env");
  EXPECT_EQ(run_.Expand(L"%instdir%"), Env(L"instdir"));  // not the built-in INSTDIR
  EXPECT_EQ(run_.Expand(L"%ProgramFiles%"), Env(L"ProgramFiles"));
}

TEST_F(ExpandTest, VariableValuesExpandAgain) {
  auto& vars = run_.variables;
  vars.SetVariable(L"BINDIR", L"%INSTDIR%\\bin");
  EXPECT_EQ(run_.Expand(L"%BINDIR%\\app.exe"), L"C:\\Apps\\Lumo\\bin\\app.exe");
  vars.SetVariable(L"SELF", L"a%SELF%");  // refers to itself: stops after 64 passes
  EXPECT_EQ(run_.Expand(L"%SELF%"), std::wstring(64, L'a') + L"%SELF%");
  vars.SetVariable(L"TWICE", L"%TWICE%%TWICE%");  // doubles at every pass: stops before 64K characters
  std::wstring twice;
  for (int i = 0; i < 1 << 13; ++i) twice += L"%TWICE%";
  EXPECT_EQ(run_.Expand(L"%TWICE%"), twice);
  vars.SetVariable(L"BIG", std::wstring(10000, L'z'));
  EXPECT_EQ(run_.Expand(L"[%BIG%]"), L"[" + std::wstring(10000, L'z') + L"]");
}

TEST_F(ExpandTest, BuiltinsShadowScriptVariablesInTexts) {
  run_.variables.SetVariable(L"APPNAME", L"script value");
  EXPECT_EQ(run_.Expand(L"%APPNAME%"), L"Lumo");
  std::wstring v;
  ASSERT_TRUE(run_.variables.GetVariable(L"APPNAME", v));
  EXPECT_EQ(v, L"script value");
}

TEST_F(ExpandTest, ClockAndChannelBuiltins) {
  EXPECT_TRUE(std::regex_match(run_.Expand(L"%CURDATE%"), std::wregex(L"\\d{4}-\\d{2}-\\d{2}")));
  EXPECT_TRUE(std::regex_match(run_.Expand(L"%CURTIME%"), std::wregex(L"\\d{2}:\\d{2}:\\d{2}")));
  EXPECT_TRUE(std::regex_match(run_.Expand(L"%CURTIME1%"), std::wregex(L"\\d{2}-\\d{2}-\\d{2}")));
  EXPECT_EQ(run_.Expand(L"%CHANNELID%"), L"1");  // no SpecialBuild in this program
  run_.options.SetText(OPT_CHANNEL, L"");
  EXPECT_EQ(run_.Expand(L"%CHANNELID%"), L"1");
  run_.options.SetText(OPT_CHANNEL, L"12345");
  EXPECT_EQ(run_.Expand(L"%CHANNELID%"), L"12345");
}

TEST_F(ExpandTest, EveryBuiltinIsAHitEvenWhenEmpty) {
  std::wstring v = L"x";
  EXPECT_TRUE(run_.variables.GetBuiltin(L"DEFINSTDIR", v));
  EXPECT_EQ(v, L"");
  for (const wchar_t* name : {L"INSTALLER", L"INSTALLERNAME", L"INSTALLERDIR", L"USERDESKTOP", L"PUBLICDESKTOP",
                              L"SMPROGRAMS", L"PROGRAMFILES32BIT", L"PROGRAMFILEALWAYS", L"PRODVER", L"FILEVERTEXT"})
    EXPECT_TRUE(run_.variables.GetBuiltin(name, v)) << name;
  EXPECT_FALSE(run_.variables.GetBuiltin(L"Installer", v));
  std::wstring name;
  run_.info.GetInfoText(II_NAME, name);
  EXPECT_EQ(run_.Expand(L"%INSTALLERNAME%"), name);
  unsigned long long wow = 0;
  run_.info.GetInfoNumber(II_IS64BITOS, wow);
  if (wow) {
    EXPECT_EQ(run_.Expand(L"%PROGRAMFILEALWAYS%"), Env(L"ProgramW6432"));
  }
}
