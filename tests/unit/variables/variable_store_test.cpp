#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "state/options_store.h"
#include "platform/registry.h"
#include "state/installer_info.h"
#include "script/run_context.h"

namespace {

constexpr wchar_t kTestKey[] = L"Software\\TzVariableTest";

class VariableStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run_.info.SetInstance(GetModuleHandleW(nullptr));
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    ini_ = std::wstring(tmp) + L"tz_variable_test.ini";
    WritePrivateProfileStringW(L"Main", L"Channel", L"blue", ini_.c_str());
    WritePrivateProfileStringW(L"Main", L"Empty", L"", ini_.c_str());
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    dir_ = self;
    dir_.resize(dir_.rfind(L'\\'));
  }
  void TearDown() override {
    DeleteFileW(ini_.c_str());
    for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_64KEY)}) {
      RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kTestKey, view, 0);
      RegDeleteKeyExW(HKEY_CURRENT_USER, kTestKey, view, 0);
    }
  }
  VariableRecord Item(const wchar_t* name, VariableType type, const wchar_t* value) {
    VariableRecord r;
    r.varname = name;
    r.type = type;
    r.value = value;
    return r;
  }
  std::wstring Get(const wchar_t* name) {
    std::wstring v = L"<absent>";
    store_.GetVariable(name, v);
    return v;
  }
  static void WriteReg(HKEY root, REGSAM view, const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, kTestKey, 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
  RunContext run_;  // a fresh run for every test
  CVariableStore& store_ = run_.variables;
  std::wstring ini_, dir_;
};

bool Is64BitWindows() {
  CInstallerInfo info;
  return info.Flag(II_IS64BITOS);
}

}  // namespace

TEST_F(VariableStoreTest, FirstItemWinsAndSetRules) {
  EXPECT_TRUE(store_.AddVariable(Item(L"A", VARIABLE_CONST, L"one")));
  EXPECT_FALSE(store_.AddVariable(Item(L"A", VARIABLE_CONST, L"two")));
  EXPECT_EQ(Get(L"A"), L"one");
  EXPECT_TRUE(store_.SetVariable(L"A", L"set"));
  EXPECT_EQ(Get(L"A"), L"set");
  auto fixed = Item(L"FIXED", VARIABLE_CONST, L"script");
  fixed.nocache = true;
  store_.AddVariable(fixed);
  EXPECT_FALSE(store_.SetVariable(L"FIXED", L"other"));
  EXPECT_EQ(Get(L"FIXED"), L"script");
  EXPECT_TRUE(store_.SetVariable(L"NEW", L"v"));  // a new name becomes a const variable
  VariableRecord r;
  ASSERT_TRUE(store_.FindRecord(L"NEW", r));
  EXPECT_EQ(r.type, VARIABLE_CONST);
  EXPECT_TRUE(r.evaluated);
  EXPECT_EQ(Get(L"new"), L"<absent>");  // names are case-sensitive
  EXPECT_EQ(Get(L"Unknown"), L"<absent>");
}

TEST_F(VariableStoreTest, CmdKeepsItsValueAndIsNeverEvaluated) {
  store_.AddVariable(Item(L"P", VARIABLE_CMD, L"as written %APPNAME%"));
  EXPECT_EQ(Get(L"P"), L"as written %APPNAME%");
  VariableRecord r;
  store_.FindRecord(L"P", r);
  EXPECT_FALSE(r.evaluated);
}

TEST_F(VariableStoreTest, IniValuesWithTheMissingMarker) {
  auto item = Item(L"CH", VARIABLE_INI, L"fallback");
  item.path = ini_;
  item.param1 = L"Main";
  item.name = L"Channel";
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"CH"), L"blue");
  item.varname = L"EMPTY";
  item.name = L"Empty";
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"EMPTY"), L"");  // an empty value is a value
  item.varname = L"NONE";
  item.name = L"Nope";
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"NONE"), L"fallback");
  WritePrivateProfileStringW(L"Main", L"Nope", L"later", ini_.c_str());
  EXPECT_EQ(Get(L"NONE"), L"later");  // a failed evaluation is tried again
  item.varname = L"LONG";
  item.path = std::wstring(600, L'x');  // a bare name: looked for in the Windows folder
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"LONG"), L"fallback");
  // A path naming the variable itself, or a long chain of them, ends instead of recursing.
  item.varname = L"SELF";
  item.path = L"%SELF%";
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"SELF"), L"fallback");
  for (int i = 0; i < 3000; ++i) {
    item.varname = L"CHAIN" + std::to_wstring(i);
    item.path = L"%CHAIN" + std::to_wstring(i + 1) + L"%";
    store_.AddVariable(item);
  }
  EXPECT_EQ(Get(L"CHAIN0"), L"fallback");
  // Each level's path names two items of the next: one lookup must not take 2^30 evaluations.
  for (int level = 0; level < 30; ++level) {
    for (const wchar_t* side : {L"A", L"B"}) {
      item.varname = side + std::to_wstring(level);
      item.path = L"%A" + std::to_wstring(level + 1) + L"%%B" + std::to_wstring(level + 1) + L"%";
      store_.AddVariable(item);
    }
  }
  EXPECT_EQ(Get(L"A0"), L"fallback");
}

TEST_F(VariableStoreTest, CachedVersusNocache) {
  auto cached = Item(L"CACHED", VARIABLE_INI, L"");
  cached.path = ini_;
  cached.param1 = L"Main";
  cached.name = L"Channel";
  auto fresh = cached;
  fresh.varname = L"FRESH";
  fresh.nocache = true;
  store_.AddVariable(cached);
  store_.AddVariable(fresh);
  EXPECT_EQ(Get(L"CACHED"), L"blue");
  EXPECT_EQ(Get(L"FRESH"), L"blue");
  WritePrivateProfileStringW(L"Main", L"Channel", L"red", ini_.c_str());
  EXPECT_EQ(Get(L"CACHED"), L"blue");
  EXPECT_EQ(Get(L"FRESH"), L"red");
}

TEST_F(VariableStoreTest, RegistryKindsAndViews) {
  WriteReg(HKEY_LOCAL_MACHINE, 0, L"Where", L"32-bit view");
  WriteReg(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"Where", L"64-bit view");
  WriteReg(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"Only64", L"sixty-four");
  HKEY key = nullptr;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_WRITE, &key);
  const DWORD number = 4000000000u;
  RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
  const unsigned long long q = 5;
  RegSetValueExW(key, L"Quad", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&q), sizeof(q));
  RegCloseKey(key);

  const bool wow = Is64BitWindows();
  const struct {
    const wchar_t* kind;
    const wchar_t* value_name;
    const wchar_t* views;
    std::wstring expected;
  } cases[] = {
      {L"SZ", L"Where", L"x86", L"32-bit view"},
      {L"sz", L"Where", L"x64", wow ? L"64-bit view" : L"32-bit view"},
      {L"sz", L"Where", L"", L"32-bit view"},
      {L"sz", L"Where", L"auto", wow ? L"64-bit view" : L"32-bit view"},
      {L"sz", L"Only64", L"x86x64", wow ? L"sixty-four" : L"unset"},
      {L"sz", L"Only64", L"x64x86", wow ? L"sixty-four" : L"unset"},
      {L"sz", L"Only64", L"x86", L"unset"},
      {L"dword", L"Number", L"x86", L"4000000000"},
      {L"qword", L"Quad", L"x86", L"unset"},  // no such kind: the item's value stays
      {L"dword", L"Where", L"x86", L"unset"},  // wrong type
  };
  int n = 0;
  for (const auto& c : cases) {
    auto item = Item((L"R" + std::to_wstring(n++)).c_str(), VARIABLE_REG, L"unset");
    item.path = std::wstring(L"HKLM\\") + kTestKey;
    item.name = c.value_name;
    item.param1 = c.kind;
    item.param2 = c.views;
    store_.AddVariable(item);
    EXPECT_EQ(Get(item.varname.c_str()), c.expected) << c.kind << L" " << c.value_name << L" " << c.views;
  }
}

TEST_F(VariableStoreTest, ProgramExitCodes) {
  const std::wstring helper = dir_ + L"\\tz_testproc.exe";
  auto item = Item(L"RET", VARIABLE_RET, L"failed");
  item.path = helper;
  item.param1 = L"/exit:7";
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"RET"), L"7");
  item.varname = L"NEG";
  item.param1 = L"/exit:4294967295";
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"NEG"), L"-1");
  item.varname = L"STILL";
  item.param1 = L"/exit:259";
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"STILL"), L"failed");
  item.varname = L"SLOW";
  item.param1 = L"/sleep:5000";
  item.param2 = L"200";  // the wait runs out
  store_.AddVariable(item);
  const DWORD start = GetTickCount();
  EXPECT_EQ(Get(L"SLOW"), L"failed");
  EXPECT_LT(GetTickCount() - start, 4000u);
  item.varname = L"MISSING";
  item.path = dir_ + L"\\no_such_program.exe";
  item.param2 = L"";
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"MISSING"), L"failed");
}

TEST_F(VariableStoreTest, VersionFieldsOfAFile) {
  // setup.exe carries a version resource with product version 1.0.0.1.
  const std::wstring setup = dir_ + L"\\..\\setup.exe";
  auto item = Item(L"V", VARIABLE_VERSION, L"none");
  item.path = setup;
  item.name = L"prodver";
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"V"), L"1.0.0.1");
  item.varname = L"VT";
  item.name = L"ProductVersion";
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"VT"), L"1.0.0.1");
  item.varname = L"VX";
  item.name = L"Flavour";
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"VX"), L"none");
  item.varname = L"VS";
  item.name = L"SpecialBuild";  // absent field
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"VS"), L"none");
}

TEST_F(VariableStoreTest, DllVariablesFailUntilAModuleLoads) {
  auto item = Item(L"D", VARIABLE_DLL, L"kept");
  item.path = L"C:\\nowhere\\tz-base.dll";
  item.name = L"GetValue";
  store_.AddVariable(item);
  EXPECT_EQ(Get(L"D"), L"kept");
}
