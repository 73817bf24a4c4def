#include <gtest/gtest.h>
#include <windows.h>

#include "diag/install_log.h"
#include "platform/encoding.h"
#include "state/installer_info.h"
#include "script/language_table.h"

namespace {

class LanguageTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    info_.SetInstance(GetModuleHandleW(nullptr));
    table_.AddStringTable(L"zh-cn", L"lang_utf8");
    table_.AddStringTable(L"EN_US", L"lang_ansi");  // stored lower-cased
    table_.AddStringTable(L"zh-cn", L"lang_ansi");  // first entry wins
    table_.AddStringTable(L"bad", L"lang_bad");
    table_.AddStringTable(L"gone", L"no_such_res");
  }
  bool LogHas(const std::wstring& text) {
    for (const auto& r : GetLog().Records())
      if (r.text == text) return true;
    return false;
  }
  CInstallerInfo info_;
  CLanguageTable table_{info_};  // fresh for every test
};

}  // namespace

TEST_F(LanguageTableTest, Utf8ResourceResolvesReferencesInAnyKeyOrder) {
  ASSERT_TRUE(table_.ChooseLanguage(L"zh-cn"));
  EXPECT_EQ(table_.GetCurrentLanguage(), L"zh-cn");
  EXPECT_EQ(table_.GetString(L"Inst.Window.TitleText"), L"Lumo安装程序");
  EXPECT_EQ(table_.GetString(L"Uninst.DisplayText"), L"卸载Lumo");
  EXPECT_EQ(table_.GetString(L"Nested"), L"卸载Lumo/Lumo安装程序");
  EXPECT_EQ(table_.GetString(L"A.Ref"), L"Missing!");
  EXPECT_EQ(table_.GetString(L"No.Close"), L"${App.DisplayName");
  EXPECT_EQ(table_.GetString(L"Loop"), L"${Loop}");  // bounded, unchanged
  // Each replacement multiplies the value by four: it stops growing before 64K characters.
  EXPECT_EQ(table_.GetString(L"Fan"), [] {
    std::wstring s;
    for (int i = 0; i < 1 << 12; ++i) s += L"${Fan}";
    return s;
  }());
  EXPECT_EQ(table_.GetString(L"mb.btntext.ok"), L"OK");
  EXPECT_EQ(table_.GetString(L"Not.There"), L"");
}

TEST_F(LanguageTableTest, AnsiResourceReadInTheAnsiCodePage) {
  ASSERT_TRUE(table_.ChooseLanguage(L"en_us"));
  EXPECT_EQ(table_.GetString(L"App.DisplayName"), L"Ansi");
  // 0xE9 is a whole character in the ANSI code page; as UTF-8 it would be invalid.
  EXPECT_EQ(table_.GetString(tz::AnsiToWide("Caf\xe9")), tz::AnsiToWide("caf\xe9 au lait"));
}

TEST_F(LanguageTableTest, RequestIsLookedUpWithoutLowerCasing) {
  EXPECT_FALSE(table_.ChooseLanguage(L"ZH-CN"));
  EXPECT_EQ(table_.GetCurrentLanguage(), L"ZH-CN");
  EXPECT_FALSE(table_.ChooseLanguage(L"fr-fr"));  // no entry: false without a log line
}

TEST_F(LanguageTableTest, MissingResourceAndBadTextAreLogged) {
  EXPECT_FALSE(table_.ChooseLanguage(L"gone"));
  EXPECT_TRUE(LogHas(L"Can't find language res no_such_res"));
  // Invalid UTF-8 after the byte order mark must neither crash nor leave half a table.
  const bool loaded = table_.ChooseLanguage(L"bad");
  if (!loaded) {
    EXPECT_TRUE(LogHas(L"load language error -1"));
    EXPECT_TRUE(LogHas(L"load language res lang_bad failed"));
  } else {
    EXPECT_FALSE(table_.GetString(L"Bad").empty());
  }
}

TEST_F(LanguageTableTest, NoRequestFollowsTheUserInterfaceLanguage) {
  const bool english = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_ENGLISH;
  EXPECT_TRUE(table_.ChooseLanguage(L""));
  EXPECT_EQ(table_.GetCurrentLanguage(), english ? L"en_us" : L"zh-cn");
}

TEST_F(LanguageTableTest, FileResourcesByIdAndCurrentLanguage) {
  table_.AddFileResource(L"license_txt", L"ZH-CN", L"lic_zhCN");
  table_.AddFileResource(L"license_txt", L"zh-cn", L"other");  // first wins
  table_.AddFileResource(L"license_txt", L"en_us", L"lic_en");
  table_.ChooseLanguage(L"zh-cn");
  EXPECT_EQ(table_.GetFileResource(L"license_txt"), L"lic_zhCN");
  EXPECT_EQ(table_.GetFileResource(L"License_txt"), L"");  // ids are exact
  table_.ChooseLanguage(L"ZH-CN");  // the lower-cased copy finds the entry
  EXPECT_EQ(table_.GetFileResource(L"license_txt"), L"lic_zhCN");
  table_.ChooseLanguage(L"fr");
  EXPECT_EQ(table_.GetFileResource(L"license_txt"), L"");
}
