// Fresh private folders on real directories of the build tree.
#include "platform/private_folder.h"

#include <aclapi.h>

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "platform_test_support.h"

namespace tz {
namespace {

using test::IsDir;

class PrivateFolderTest : public test::ScratchDirTest {};

TEST_F(PrivateFolderTest, EveryCallMakesANewFolderNamedByPrefix) {
  std::set<std::wstring> made;
  for (int i = 0; i < 8; ++i) {
    std::wstring folder;
    ASSERT_TRUE(CreatePrivateFolder(dir_ + L"\\", L"TzDemo", folder));
    EXPECT_TRUE(IsDir(folder));
    const std::wstring name = folder.substr(dir_.size() + 1);
    EXPECT_TRUE(std::regex_match(name, std::wregex(L"TzDemo-[0-9a-f]{8}"))) << name;
    made.insert(folder);
  }
  EXPECT_EQ(made.size(), 8u);
}

TEST_F(PrivateFolderTest, RefusesUnusableParentsAndPrefixes) {
  test::WriteBytes(Path(L"file"), "x");
  struct Case {
    std::wstring parent;
    const wchar_t* prefix;
  };
  const Case cases[] = {
      {Path(L"missing"), L"p"}, {Path(L"file"), L"p"},   {dir_, L""},      {dir_, L"a\\b"},
      {dir_, L"..\\x"},          {dir_, L"x*"},          {dir_, L"c:"},    {L"", L"p"},
      {dir_ + L"\\" + std::wstring(250, L'a'), L"p"},
  };
  for (const Case& c : cases) {
    std::wstring folder = L"untouched";
    EXPECT_FALSE(CreatePrivateFolder(c.parent, c.prefix, folder)) << c.parent << L" / " << c.prefix;
    EXPECT_EQ(folder, L"untouched");
  }
}

TEST_F(PrivateFolderTest, ElevatedFolderLetsOnlyAdministratorsAndSystemWrite) {
  if (test::RunningOnWine())
    GTEST_SKIP() << "Wine keeps no DACL of a file's own: it reports one made from the Unix mode bits";
  if (!IsProcessElevated()) GTEST_SKIP() << "not elevated: the folder keeps the inherited permissions";
  std::wstring folder;
  ASSERT_TRUE(CreatePrivateFolder(dir_, L"acl", folder));
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                  nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED);
  ASSERT_NE(dacl, nullptr);
  // Who may write: every allowed entry with write rights names Administrators or SYSTEM.
  int writers = 0;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    ASSERT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    const PSID sid = &ace->SidStart;
    const bool writes = ace->Mask & (FILE_WRITE_DATA | FILE_ADD_FILE | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER |
                                     DELETE | GENERIC_WRITE | GENERIC_ALL);
    if (!writes) continue;
    ++writers;
    EXPECT_TRUE(IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid));
  }
  EXPECT_EQ(writers, 2);
  LocalFree(descriptor);
}

}  // namespace
}  // namespace tz
