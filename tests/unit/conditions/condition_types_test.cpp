// Every condition type against real things of the Wine prefix: files and folders, registry keys in
// both views, the Windows version, version resources and image headers of the helper programs, a
// running helper process, INI files and script variables.
#include <gtest/gtest.h>

#include "condition_test_support.h"
#include "platform/process.h"
#include "script/variable_store.h"

namespace {

using cond_test::ConditionTest;
using cond_test::HelperPath;
using cond_test::Item;
using cond_test::WriteBytes;

// One script item: its type, its operands, and whether it should hold.
struct TypeCase {
  const char* label;
  ConditionType type;
  const wchar_t* path;  // "{DIR}" is the test's scratch folder, "{BIN}" the helper programs' folder
  const wchar_t* name;
  const wchar_t* param1;
  const wchar_t* param2;
  const wchar_t* value;
  CompareMethod method;
  bool expected;
  bool case_sensitive = false;
  CompareValueType valuetype = VALTYPE_NUMBER;
};

std::ostream& operator<<(std::ostream& os, const TypeCase& c) { return os << c.label; }

std::wstring Fill(std::wstring text, const std::wstring& dir) {
  const std::pair<std::wstring, std::wstring> keys[] = {{L"{DIR}", dir}, {L"{BIN}", cond_test::ProgramDirectory()}};
  for (const auto& [key, with] : keys) {
    for (size_t at; (at = text.find(key)) != std::wstring::npos;) text.replace(at, key.size(), with);
  }
  return text;
}

// Keys under HKCU\Software (one key for both views) and HKLM\Software (a key per view).
const std::wstring kSub = L"Software\\TzCondTest";

void WriteRaw(HKEY root, REGSAM view, const std::wstring& name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, kSub.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr), 0);
  RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void WriteText(HKEY root, REGSAM view, const std::wstring& name, const std::wstring& text) {
  WriteRaw(root, view, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void RemoveKey(HKEY root, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, kSub.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
    RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
  }
  RegDeleteKeyExW(root, kSub.c_str(), view, 0);
}

class TypeTest : public ConditionTest, public ::testing::WithParamInterface<TypeCase> {
 protected:
  static void SetUpTestSuite() {
    RemoveKeys();
    const DWORD minus_one = 0xFFFFFFFF, ten = 10;
    WriteRaw(HKEY_CURRENT_USER, 0, L"Minus", REG_DWORD, &minus_one, sizeof minus_one);
    WriteRaw(HKEY_CURRENT_USER, 0, L"Ten", REG_DWORD, &ten, sizeof ten);
    WriteText(HKEY_CURRENT_USER, 0, L"Text", L"Hello World");
    WriteText(HKEY_CURRENT_USER, 0, L"", L"default");
    WriteText(HKEY_LOCAL_MACHINE, 0, L"Where", L"view32");
    WriteText(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"Where", L"view64");
    WriteText(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"Only64", L"yes");
    WriteText(HKEY_CURRENT_USER, 0, L"Raw", L"%TZCOND_KEY%");
    SetEnvironmentVariableW(L"TZCOND_KEY", L"TzCondTest");
  }
  static void TearDownTestSuite() { RemoveKeys(); }
  static void RemoveKeys() {
    RemoveKey(HKEY_CURRENT_USER, 0);
    RemoveKey(HKEY_LOCAL_MACHINE, 0);
    RemoveKey(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
  }

  void SetUp() override {
    ConditionTest::SetUp();
    CreateDirectoryW(Path(L"full").c_str(), nullptr);
    WriteBytes(Path(L"full\\a.txt"), "text, not an image, but long enough to pass the 64-byte length check.....");
    WriteBytes(Path(L"app.ini"),
               "[Main]\r\nVersion=1.10.2\r\nCount=42\r\nName=Hello World\r\nOdd=!@#**#@!\r\nEmpty=\r\n");
  }
};

TEST_P(TypeTest, Holds) {
  const TypeCase& c = GetParam();
  ConditionRecord r = Item(100, c.type);
  r.path = Fill(c.path, dir_);
  r.name = c.name;
  r.param1 = c.param1;
  r.param2 = c.param2;
  r.value = c.value;
  r.method = c.method;
  r.case_sensitive = c.case_sensitive;
  r.valuetype = c.valuetype;
  EXPECT_EQ(AddAndEvaluate(r), c.expected);
  // A wrong or inverted answer must show in the log too.
  r.id = 101;
  r.not_ = true;
  EXPECT_EQ(AddAndEvaluate(r), !c.expected);
  EXPECT_EQ(NewLog().size(), 2u);
}

constexpr auto EQ = CMP_EQ;
const wchar_t* const kCu = L"hkcu\\Software\\TzCondTest";
const wchar_t* const kLm = L"hklm\\Software\\TzCondTest";

INSTANTIATE_TEST_SUITE_P(
    RegExist, TypeTest,
    ::testing::Values(
        TypeCase{"key", COND_REGEXIST, kCu, L"", L"", L"", L"", EQ, true},
        TypeCase{"missing key", COND_REGEXIST, L"hkcu\\Software\\TzCondTest\\None", L"", L"", L"", L"", EQ, false},
        TypeCase{"value", COND_REGEXIST, kCu, L"Text", L"", L"", L"", EQ, true},
        TypeCase{"missing value", COND_REGEXIST, kCu, L"None", L"", L"", L"", EQ, false},
        TypeCase{"value of the type", COND_REGEXIST, kCu, L"Ten", L"DWORD", L"", L"", EQ, true},
        TypeCase{"value of another type", COND_REGEXIST, kCu, L"Text", L"dword", L"", L"", EQ, false},
        TypeCase{"hklm default view is 32-bit", COND_REGEXIST, kLm, L"Only64", L"", L"", L"", EQ, false},
        TypeCase{"x64 view", COND_REGEXIST, kLm, L"Only64", L"", L"x64", L"", EQ, true},
        TypeCase{"auto view on 64-bit", COND_REGEXIST, kLm, L"Only64", L"", L"AUTO", L"", EQ, true},
        TypeCase{"x86 view", COND_REGEXIST, kLm, L"Only64", L"", L"x86", L"", EQ, false},
        TypeCase{"both views need both", COND_REGEXIST, kLm, L"Only64", L"", L"x86x64", L"", EQ, false},
        TypeCase{"both views", COND_REGEXIST, kLm, L"Where", L"", L"x64x86", L"", EQ, true}));

INSTANTIATE_TEST_SUITE_P(
    RegValue, TypeTest,
    ::testing::Values(
        TypeCase{"dword is signed", COND_REGVALUE, kCu, L"Minus", L"dword", L"", L"-1", EQ, true},
        TypeCase{"dword compare", COND_REGVALUE, kCu, L"Ten", L"DWord", L"", L"9", CMP_GT, true},
        TypeCase{"dword missing", COND_REGVALUE, kCu, L"None", L"dword", L"", L"0", EQ, false},
        TypeCase{"string any case", COND_REGVALUE, kCu, L"Text", L"", L"", L"hello world", EQ, true},
        TypeCase{"string case", COND_REGVALUE, kCu, L"Text", L"sz", L"", L"hello world", EQ, false, true},
        TypeCase{"default value", COND_REGVALUE, kCu, L"", L"", L"", L"default", EQ, true},
        TypeCase{"value not expanded", COND_REGVALUE, kCu, L"Raw", L"", L"", L"%TZCOND_KEY%", EQ, true},
        TypeCase{"default view", COND_REGVALUE, kLm, L"Where", L"", L"", L"view32", EQ, true},
        TypeCase{"x64 view", COND_REGVALUE, kLm, L"Where", L"", L"x64", L"view64", EQ, true},
        TypeCase{"x86 view", COND_REGVALUE, kLm, L"Where", L"", L"x86", L"view32", EQ, true},
        TypeCase{"both views mean the default", COND_REGVALUE, kLm, L"Where", L"", L"x86x64", L"view32", EQ,
                 true}));

INSTANTIATE_TEST_SUITE_P(
    Versions, TypeTest,
    ::testing::Values(
        TypeCase{"osver empty value", COND_OSVER, L"", L"", L"", L"", L"", CMP_LT, true},
        TypeCase{"osver below 99", COND_OSVER, L"", L"", L"", L"", L"99", CMP_LT, true},
        // tz_versioned.dll: FILEVERSION 1,2,40000,4, PRODUCTVERSION 5,6,7,65535, strings
        // "1.2.40000.4" and "5.6.7 beta".
        TypeCase{"filever empty value", COND_FILEVER, L"{BIN}\\tz_versioned.dll", L"", L"filever", L"", L"", EQ,
                 false},
        TypeCase{"filever parts above 32767", COND_FILEVER, L"{BIN}\\tz_versioned.dll", L"", L"FileVer", L"",
                 L"1.2.40000.4", EQ, true},
        TypeCase{"prodver", COND_FILEVER, L"{BIN}\\tz_versioned.dll", L"", L"1", L"", L"5.6.7.65535", EQ, true},
        TypeCase{"filever by digit", COND_FILEVER, L"{BIN}\\tz_versioned.dll", L"", L"2", L"", L"1,2,40000,5",
                 CMP_LT, true},
        TypeCase{"filevers string", COND_FILEVER, L"{BIN}\\tz_versioned.dll", L"", L"4", L"", L"1.2.40000.4",
                 EQ, true},
        TypeCase{"no version resource", COND_FILEVER, L"{DIR}\\full\\a.txt", L"", L"filever", L"", L"0",
                 CMP_GE, false}));

INSTANTIATE_TEST_SUITE_P(
    Images, TypeTest,
    ::testing::Values(
        TypeCase{"64-bit image", COND_PE, L"{BIN}\\tz_pe64.exe", L"", L"", L"", L"x64", EQ, true},
        TypeCase{"32-bit image", COND_PE, L"{BIN}\\tz_versioned.dll", L"", L"", L"", L"x86", EQ, true},
        TypeCase{"word case", COND_PE, L"{BIN}\\tz_pe64.exe", L"", L"", L"", L"X64", EQ, false, true},
        TypeCase{"text file neq x64", COND_PE, L"{DIR}\\full\\a.txt", L"", L"", L"", L"x64", CMP_NEQ, false},
        TypeCase{"text file neq x86", COND_PE, L"{DIR}\\full\\a.txt", L"", L"", L"", L"x86", CMP_NEQ, false}));

// inivalue: path is the file, name the key, param1 the section.
const std::wstring kLongIni = std::wstring(600, L'x') + L".ini";  // a bare name: looked for in the Windows folder
TypeCase Ini(const char* label, const wchar_t* key, const wchar_t* value, CompareMethod method,
             CompareValueType valuetype, bool expected, bool case_sensitive = false) {
  return TypeCase{label, COND_INIVALUE, L"{DIR}\\app.ini", key, L"Main", L"", value, method, expected,
                  case_sensitive, valuetype};
}

INSTANTIATE_TEST_SUITE_P(
    IniValues, TypeTest,
    ::testing::Values(Ini("number", L"Count", L"42", EQ, VALTYPE_NUMBER, true),
                      Ini("version", L"Version", L"1.9", CMP_GT, VALTYPE_VERSION, true),
                      Ini("string any case", L"Name", L"hello world", EQ, VALTYPE_STRING, true),
                      Ini("string case", L"Name", L"hello world", EQ, VALTYPE_STRING, false, true),
                      Ini("missing key", L"None", L"0", EQ, VALTYPE_NUMBER, false),
                      Ini("stored default text", L"Odd", L"!@#**#@!", EQ, VALTYPE_STRING, false),
                      TypeCase{"missing file", COND_INIVALUE, L"{DIR}\\none.ini", L"Count", L"Main", L"", L"0", EQ,
                               false},
                      TypeCase{"path of MAX_PATH or more", COND_INIVALUE, kLongIni.c_str(), L"Count", L"Main", L"",
                               L"0", CMP_NEQ, false}));

TEST_F(ConditionTest, VarComparesTheVariablesValue) {
  engine_.run.variables.SetVariable(L"TZCOND_VER", L"3.10");
  engine_.run.variables.SetVariable(L"TZCOND_NAME", L"TZCOND_VER");
  engine_.run.variables.SetVariable(L"TZCOND_RAW", L"%TZCOND_VER%");
  const struct {
    const wchar_t* name;
    const wchar_t* value;
    CompareValueType valuetype;
    CompareMethod method;
    bool expected;
  } cases[] = {
      {L"TZCOND_VER", L"3.9", VALTYPE_VERSION, CMP_GT, true},
      {L"TZCOND_VER", L"3.9", VALTYPE_NUMBER, CMP_GT, false},  // 3 against 3
      {L"TZCOND_VER", L"3.10", VALTYPE_STRING, CMP_EQ, true},
      {L"%TZCOND_NAME%", L"3.10", VALTYPE_STRING, CMP_EQ, true},  // the name is expanded
      {L"TZCOND_VER", L"%TZCOND_VER%", VALTYPE_STRING, CMP_EQ, true},  // the operand is expanded
      {L"TZCOND_RAW", L"%TZCOND_VER%", VALTYPE_STRING, CMP_HAS, false},  // the value is not
      {L"TZCOND_NONE", L"0", VALTYPE_NUMBER, CMP_EQ, false},
      {L"", L"", VALTYPE_STRING, CMP_EQ, false},
  };
  uint32_t id = 100;
  for (const auto& c : cases) {
    ConditionRecord r = Item(id++, COND_VAR);
    r.name = c.name;
    r.value = c.value;
    r.valuetype = c.valuetype;
    r.method = c.method;
    EXPECT_EQ(AddAndEvaluate(r), c.expected) << "id " << r.id;
  }
}

TEST_F(ConditionTest, ProcExistFindsARunningProgram) {
  // A copy under a name of its own, so no other test's process can match.
  const std::wstring exe_name = L"tzcond_" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  const std::wstring exe = Path(exe_name);
  ASSERT_TRUE(CopyFileW(HelperPath(L"tz_testproc.exe").c_str(), exe.c_str(), FALSE));
  std::wstring command = L"\"" + exe + L"\" /sleep:20000";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));

  const auto proc = [&](uint32_t id, const std::wstring& name, const std::wstring& path) {
    ConditionRecord r = Item(id, COND_PROCEXIST);
    r.name = name;
    r.path = path;
    r.nocache = true;
    return AddAndEvaluate(r);
  };
  SetEnvironmentVariableW(L"TZCOND_EXE", exe_name.c_str());
  EXPECT_TRUE(proc(100, L"%TZCOND_EXE%", L""));
  EXPECT_TRUE(proc(101, exe_name, dir_));
  EXPECT_FALSE(proc(102, exe_name, dir_ + L"\\full"));
  engine_.run.variables.SetVariable(L"TZCOND_EMPTY", L"");
  EXPECT_FALSE(proc(103, exe_name, L"%TZCOND_EMPTY%"));  // a directory that expands to nothing
  EXPECT_FALSE(proc(104, L"tzcond_not_running.exe", L""));

  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_FALSE(engine_.conditions.Evaluate(100));  // nocache: asked again
}

}  // namespace
