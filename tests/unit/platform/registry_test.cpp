// Registry access on real keys of the prefix, under throwaway roots in HKCU\Software (shared by both
// views) and HKLM\Software (redirected to Wow6432Node for this 32-bit program).
#include "platform/registry.h"

#include <gtest/gtest.h>

#include "platform/process.h"
#include "platform_test_support.h"

namespace tz {
namespace {

void RemoveKeyTree(HKEY root, const std::wstring& subkey, REGSAM view_bit) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_ALL_ACCESS | view_bit, &key) == ERROR_SUCCESS) {
    RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
  }
  RegDeleteKeyExW(root, subkey.c_str(), view_bit, 0);
}

class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    RemoveKeyTree(HKEY_CURRENT_USER, sub_, 0);
    RemoveKeyTree(HKEY_LOCAL_MACHINE, sub_, 0);
    RemoveKeyTree(HKEY_LOCAL_MACHINE, sub_, KEY_WOW64_64KEY);
  }
  std::wstring Cu(const std::wstring& rest = {}) const { return L"hkcu\\" + sub_ + (rest.empty() ? L"" : L"\\" + rest); }
  std::wstring Lm(const std::wstring& rest) const { return L"hklm\\" + sub_ + L"\\" + rest; }
  bool Has(const std::wstring& path, const std::wstring& name = L"", int view = kRegViewDefault) const {
    return KeyExists(path, name, REG_NONE, view);
  }
  std::wstring Read(const std::wstring& path, const std::wstring& name, int view = kRegViewDefault) const {
    std::wstring text = L"<none>";
    ReadString(path, name, view, text);
    return text;
  }
  // Written and counted with the raw API, not the code under test.
  static void Raw(const std::wstring& path, const std::wstring& name, DWORD type, const void* data, size_t size) {
    HKEY root;
    std::wstring subkey;
    SplitRegistryPath(path, root, subkey);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr), 0);
    RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
    RegCloseKey(key);
  }
  static DWORD ValueCount(const std::wstring& path) {
    HKEY root, key;
    std::wstring subkey;
    SplitRegistryPath(path, root, subkey);
    DWORD values = 0;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return values;
  }
  // A key whose DACL grants nothing; false where the platform does not enforce key DACLs (Wine).
  bool CreateDeniedKey(const std::wstring& rest) {
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    ACL acl;
    InitializeAcl(&acl, sizeof(acl), ACL_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, &acl, FALSE);
    SECURITY_ATTRIBUTES sa{sizeof(sa), &sd, FALSE};
    denied_ = sub_ + L"\\" + rest;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, denied_.c_str(), 0, nullptr, 0, KEY_READ, &sa, &key, nullptr) == 0)
      RegCloseKey(key);
    const LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, denied_.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status == ERROR_ACCESS_DENIED;
  }
  // The owner may always rewrite the DACL: give the key back so the tree can be removed.
  void AllowDeniedKey() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, denied_.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return;
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(key);
  }

  const std::wstring sub_ = L"Software\\TzPlatformTest" + std::to_wstring(GetCurrentProcessId());
  std::wstring denied_;
};

TEST(RegistryWordsTest, RootPrefixesViewWordsAndTypeWords) {
  struct {
    const wchar_t* path;
    HKEY root;
    const wchar_t* subkey;
  } paths[] = {{L"HKCU\\Software\\X", HKEY_CURRENT_USER, L"Software\\X"}, {L"hkcu\\software\\x", HKEY_CURRENT_USER, L"software\\x"},
               {L"Software\\X", HKEY_LOCAL_MACHINE, L"Software\\X"},       {L"HkCr\\.txt", HKEY_CLASSES_ROOT, L".txt"},
               {L"hku\\.DEFAULT", HKEY_USERS, L".DEFAULT"},                 {L"hkcc\\System", HKEY_CURRENT_CONFIG, L"System"},
               {L"HKEY_CURRENT_USER\\S", HKEY_LOCAL_MACHINE, L"HKEY_CURRENT_USER\\S"},
               {L"hklm\\", HKEY_LOCAL_MACHINE, L""},                        {L"hkcu\\\\\\", HKEY_CURRENT_USER, L""}};
  for (const auto& c : paths) {
    HKEY root = nullptr;
    std::wstring subkey;
    SplitRegistryPath(c.path, root, subkey);
    EXPECT_TRUE(root == c.root && subkey == c.subkey) << testing::PrintToString(std::wstring(c.path));
  }
  const bool wow64 = IsWow64();
  struct {
    const wchar_t* word;
    bool view32, view64;
  } views[] = {{L"x86", true, false}, {L"X64", false, true},    {L"x86x64", true, true}, {L"X64x86", true, true},
               {L"AUTO", !wow64, wow64}, {L"", false, false}, {L"x86,x64", false, false}};
  for (const auto& c : views) {
    const RegViewWanted wanted = ParseViewWords(c.word);
    EXPECT_TRUE(wanted.view32 == c.view32 && wanted.view64 == c.view64) << testing::PrintToString(std::wstring(c.word));
  }
  EXPECT_EQ(ParseTypeWord(L"ExpandSz"), static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(ParseTypeWord(L"QWORD"), static_cast<DWORD>(REG_QWORD));
  EXPECT_EQ(ParseTypeWord(L"reg_sz"), 0u);
}

TEST_F(RegistryTest, RootCaseAndMissingRootReachTheSameKeys) {
  ASSERT_TRUE(WriteValue(L"HKCU\\" + sub_ + L"\\Case", L"v", L"same", REG_SZ, kRegViewDefault));
  EXPECT_EQ(Read(L"hkcu\\" + sub_ + L"\\case", L"V"), L"same");
  ASSERT_TRUE(WriteValue(sub_ + L"\\NoRoot", L"v", L"lm", REG_SZ, kRegViewDefault));
  EXPECT_EQ(Read(Lm(L"NoRoot"), L"v"), L"lm");
}

TEST_F(RegistryTest, ViewsOfRedirectedAndSharedKeys) {
  if (!IsWow64()) GTEST_SKIP() << "32-bit Windows has a single registry view";
  ASSERT_TRUE(WriteValue(Lm(L"View"), L"v", L"64", REG_SZ, kRegView64));
  EXPECT_FALSE(Has(Lm(L"View"), L"", kRegView32));
  EXPECT_FALSE(Has(Lm(L"View"), L"", kRegViewDefault));
  ASSERT_TRUE(WriteValue(Lm(L"View"), L"v", L"32", REG_SZ, kRegView32));
  EXPECT_EQ(Read(Lm(L"View"), L"v", kRegViewDefault), L"32");
  EXPECT_EQ(Read(Lm(L"View"), L"v", kRegView64), L"64");

  ASSERT_TRUE(WriteValue(Cu(L"View"), L"v", L"shared", REG_SZ, kRegView64));
  EXPECT_EQ(Read(Cu(L"View"), L"v", kRegView32), L"shared");
}

TEST_F(RegistryTest, KeyExistsChecksKeyValueAndType) {
  Raw(Cu(L"K"), L"text", REG_SZ, L"abc", 8);
  EXPECT_TRUE(Has(Cu(L"K")));
  EXPECT_TRUE(KeyExists(Cu(L"K"), L"text", REG_SZ, kRegViewDefault));
  EXPECT_FALSE(KeyExists(Cu(L"K"), L"text", REG_DWORD, kRegViewDefault));
  EXPECT_FALSE(Has(Cu(L"K"), L"absent"));
  EXPECT_FALSE(Has(Cu(L"Missing")));
  EXPECT_FALSE(Has(L""));
}

TEST_F(RegistryTest, KeyThatDeniesReadingExistsOnlyWithoutValueName) {
  const bool enforced = CreateDeniedKey(L"Denied");
  if (enforced) {
    EXPECT_TRUE(Has(Cu(L"Denied")));
    EXPECT_FALSE(Has(Cu(L"Denied"), L"v"));
  }
  AllowDeniedKey();
  if (!enforced) GTEST_SKIP() << "Wine does not enforce registry key DACLs, so no key can deny reading";
}

TEST_F(RegistryTest, ReadNumberTakesRawBytesOfAtMostFour) {
  const DWORD number = 0x12345678;
  const BYTE two[] = {0x34, 0x12};
  Raw(Cu(), L"dword", REG_DWORD, &number, 4);
  Raw(Cu(), L"one", REG_SZ, L"a", 4);  // 'a' and its NUL
  Raw(Cu(), L"two", REG_SZ, L"ab", 6);
  Raw(Cu(), L"short", REG_BINARY, two, 2);
  struct {
    const wchar_t* name;
    DWORD value;  // 0xDEADBEEF: fails and leaves the output alone
  } cases[] = {{L"dword", 0x12345678}, {L"one", 0x61}, {L"short", 0x1234}, {L"two", 0xDEADBEEF}, {L"gone", 0xDEADBEEF}};
  for (const auto& c : cases) {
    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(ReadNumber(Cu(), c.name, kRegViewDefault, value), c.value != 0xDEADBEEF);
    EXPECT_EQ(value, c.value) << testing::PrintToString(std::wstring(c.name));
  }
}

TEST_F(RegistryTest, ReadStringWholeTextUpToFirstNul) {
  std::wstring long_text;
  for (int i = 0; long_text.size() < 3000; ++i) long_text += std::to_wstring(i) + L",";
  Raw(Cu(), L"long", REG_SZ, long_text.c_str(), (long_text.size() + 1) * 2);
  Raw(Cu(), L"multi", REG_MULTI_SZ, L"first\0second\0", 28);
  const std::wstring unterminated(512, L'x');  // fills the first read exactly, no NUL
  Raw(Cu(), L"raw", REG_BINARY, unterminated.data(), 1024);
  EXPECT_EQ(Read(Cu(), L"long"), long_text);
  EXPECT_EQ(Read(Cu(), L"multi"), L"first");
  EXPECT_EQ(Read(Cu(), L"raw"), unterminated);
  EXPECT_EQ(Read(Cu(), L"gone"), L"<none>");
}

TEST_F(RegistryTest, WriteValueNamesAndTypes) {
  struct {
    const wchar_t* name;
    const wchar_t* data;
    DWORD type;
    const wchar_t* stored_as;  // nullptr: refused, nothing written
  } cases[] = {{L"@", L"default", REG_SZ, L""},  {L"", L"default", REG_SZ, L""},   {L"@@", L"at", REG_SZ, L"@"},
               {L"a,b", L"x", REG_SZ, L"a,b"},   {L"@", L"7", REG_DWORD, L"@"},     {L"n", L"", REG_DWORD, nullptr},
               {L"", L"7", REG_DWORD, nullptr},  {L"n", L"x", REG_NONE, nullptr},  {L"n", L"x", REG_MULTI_SZ, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)) + " type " + std::to_string(c.type));
    RemoveKeyTree(HKEY_CURRENT_USER, sub_, 0);
    EXPECT_EQ(WriteValue(Cu(L"a\\b"), c.name, c.data, c.type, kRegViewDefault), c.stored_as != nullptr);
    EXPECT_EQ(ValueCount(Cu(L"a\\b")), c.stored_as ? 1u : 0u);
    EXPECT_TRUE(!c.stored_as || KeyExists(Cu(L"a\\b"), c.stored_as, c.type, kRegViewDefault));
  }
  const struct {
    const wchar_t* text;
    DWORD value;
  } numbers[] = {{L"  42abc", 42}, {L"-1", 0xFFFFFFFF}, {L"4294967295", 0xFFFFFFFF}, {L"x", 0}};
  for (const auto& n : numbers) {
    DWORD value = 1;
    ASSERT_TRUE(WriteValue(Cu(), L"n", n.text, REG_DWORD, kRegViewDefault));
    EXPECT_TRUE(ReadNumber(Cu(), L"n", kRegViewDefault, value) && value == n.value) << testing::PrintToString(std::wstring(n.text));
  }
}

TEST_F(RegistryTest, WriteValuesInOrderUntilFirstFailure) {
  EXPECT_FALSE(WriteValues(Cu(), {L"a", L"b", L"c"}, {L"1", L"2", L"3"}, {REG_SZ, REG_QWORD, REG_SZ}, kRegViewDefault));
  EXPECT_TRUE(Has(Cu(), L"a"));
  EXPECT_EQ(ValueCount(Cu()), 1u);
  EXPECT_TRUE(WriteValues(Cu(), {L"@", L"count"}, {L"main", L"3"}, {REG_SZ, REG_DWORD}, kRegViewDefault));
  EXPECT_EQ(Read(Cu(), L""), L"main");
  EXPECT_FALSE(WriteValues(Cu(L"L"), {}, {}, {}, kRegViewDefault));
  EXPECT_FALSE(WriteValues(Cu(L"L"), {L"a", L"b"}, {L"1"}, {REG_SZ, REG_SZ}, kRegViewDefault));
  EXPECT_FALSE(Has(Cu(L"L")));
}

TEST_F(RegistryTest, DeleteValuesCountsDeletions) {
  ASSERT_TRUE(WriteValues(Cu(), {L"a", L"b", L"c"}, {L"1", L"2", L"3"}, {REG_SZ, REG_SZ, REG_SZ}, kRegViewDefault));
  EXPECT_EQ(DeleteValues(Cu(), {L"a", L"missing", L"c"}, kRegViewDefault), 2u);
  EXPECT_EQ(ValueCount(Cu()), 1u);
  EXPECT_EQ(DeleteValues(Cu(L"Missing"), {L"b"}, kRegViewDefault), 0u);
}

TEST_F(RegistryTest, RootOnlyPathsTouchNothing) {
  const std::wstring probe = L"TzPlatformProbe" + std::to_wstring(GetCurrentProcessId());
  Raw(L"hkcu\\", probe, REG_SZ, L"keep", 10);  // directly under the HKCU root
  for (const wchar_t* root : {L"hkcu\\", L"HKCU\\\\", L""}) {
    EXPECT_EQ(DeleteValues(root, {probe}, kRegViewDefault), 0u);
    EXPECT_FALSE(DeleteKey(root, false, kRegViewDefault));
  }
  EXPECT_FALSE(DeleteKey(L"hklm\\", false, kRegView64));
  EXPECT_TRUE(Has(L"hkcu\\", probe));
  EXPECT_TRUE(Has(L"hkcu\\Software"));
  RegDeleteValueW(HKEY_CURRENT_USER, probe.c_str());
}

TEST_F(RegistryTest, DeleteKeyOnlyIfEmpty) {
  ASSERT_TRUE(WriteValue(Cu(L"WithValue"), L"v", L"1", REG_SZ, kRegViewDefault));
  ASSERT_TRUE(WriteValue(Cu(L"Empty\\Sub"), L"v", L"1", REG_SZ, kRegViewDefault));
  EXPECT_TRUE(DeleteKey(Cu(L"WithValue"), true, kRegViewDefault));
  EXPECT_TRUE(Has(Cu(L"WithValue"), L"v"));
  EXPECT_TRUE(DeleteKey(Cu(L"Empty\\Sub"), false, kRegViewDefault));
  EXPECT_TRUE(DeleteKey(Cu(L"Empty"), true, kRegViewDefault));
  EXPECT_FALSE(Has(Cu(L"Empty")));
  EXPECT_FALSE(DeleteKey(Cu(L"Missing"), true, kRegViewDefault));
}

TEST_F(RegistryTest, DeleteKeyRemovesNestedTreeInItsViewOnly) {
  for (const wchar_t* sub : {L"T\\a\\b\\c", L"T\\a\\b2", L"T\\a2", L"Sibling"})
    ASSERT_TRUE(WriteValue(Cu(sub), L"v", L"1", REG_SZ, kRegViewDefault));
  EXPECT_TRUE(DeleteKey(Cu(L"T"), false, kRegViewDefault));
  EXPECT_FALSE(Has(Cu(L"T")));
  EXPECT_TRUE(Has(Cu(L"Sibling")));
  if (!IsWow64()) return;
  ASSERT_TRUE(WriteValue(Lm(L"Twin\\Sub"), L"v", L"32", REG_SZ, kRegView32));
  ASSERT_TRUE(WriteValue(Lm(L"Twin\\Sub"), L"v", L"64", REG_SZ, kRegView64));
  EXPECT_TRUE(DeleteKey(Lm(L"Twin"), false, kRegView64));
  EXPECT_FALSE(Has(Lm(L"Twin"), L"", kRegView64));
  EXPECT_EQ(Read(Lm(L"Twin\\Sub"), L"v", kRegView32), L"32");
}

TEST_F(RegistryTest, DeleteKeyStepsOverSubkeyItCannotDelete) {
  ASSERT_TRUE(WriteValue(Cu(L"T\\a"), L"v", L"1", REG_SZ, kRegViewDefault));
  ASSERT_TRUE(WriteValue(Cu(L"T\\c"), L"v", L"1", REG_SZ, kRegViewDefault));
  const bool enforced = CreateDeniedKey(L"T\\b");
  if (enforced) {
    EXPECT_FALSE(DeleteKey(Cu(L"T"), false, kRegViewDefault));  // returns at all: no endless retry
    EXPECT_FALSE(Has(Cu(L"T\\a")));
    EXPECT_FALSE(Has(Cu(L"T\\c")));
  }
  AllowDeniedKey();
  if (!enforced) GTEST_SKIP() << "Wine does not enforce registry key DACLs, so every subkey can be deleted";
}

}  // namespace
}  // namespace tz
