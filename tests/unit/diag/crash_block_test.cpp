// The crash block and its parts, byte for byte: what the bug-report program relies on.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "diag/crash_handler.h"

namespace {

uint32_t At(const std::string& block, size_t offset) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(block[offset + i]);
  return v;
}

std::string Field(const std::string& block, size_t offset, size_t size) {
  const std::string raw = block.substr(offset, size);
  return raw.substr(0, raw.find('\0'));
}

struct BlockCase {
  const char* name;
  std::wstring version;
  std::wstring channel;
  std::string json;
  std::string want_version;
  std::string want_channel;
};

class CrashBlockLayout : public testing::TestWithParam<BlockCase> {};

TEST_P(CrashBlockLayout, FieldsAtTheirOffsets) {
  const BlockCase& c = GetParam();
  CrashBlockFields f;
  f.process_id = 0x1234;
  f.thread_id = 0xABCDEF01;
  f.pointers_address = 0x0012FF40;
  f.version = c.version;
  f.channel = c.channel;
  f.json = c.json;
  const std::string block = BuildCrashBlock(f);
  ASSERT_EQ(block.size(), c.json.size() + 247);
  EXPECT_EQ(block.substr(0, 16), std::string("crpr\0\0\0\0\0\0\0\0\0\0\0\0", 16));
  EXPECT_EQ(At(block, 16), 237u);
  EXPECT_EQ(At(block, 20), 0x1234u);
  EXPECT_EQ(At(block, 24), 0xABCDEF01u);
  EXPECT_EQ(At(block, 28), 1u);
  EXPECT_EQ(At(block, 32), 0x0012FF40u);
  EXPECT_EQ(At(block, 36), 0u);
  EXPECT_EQ(At(block, 40), 0u);
  EXPECT_EQ(Field(block, 44, 32), c.want_version);
  EXPECT_EQ(block[44 + 31], '\0');
  EXPECT_EQ(block.substr(76, 32), std::string(32, '\0'));
  EXPECT_EQ(Field(block, 108, 64), "installer");
  EXPECT_EQ(Field(block, 172, 64), c.want_channel);
  EXPECT_EQ(block[172 + 63], '\0');
  EXPECT_EQ(block.substr(236, c.json.size()), c.json);
  EXPECT_EQ(block.substr(236 + c.json.size()), std::string(11, '\0'));
}

const std::string kJson = "{\"except_msg\":{\"crashPoint\":\"\",\"living\":false}}\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, CrashBlockLayout,
    testing::Values(BlockCase{"Plain", L"1.0.0.1", L"42", kJson, "1.0.0.1", "42"},
                    BlockCase{"Empty", L"", L"", kJson, "", ""},
                    BlockCase{"EmptyJson", L"1.2.3.4", L"1", "", "1.2.3.4", "1"},
                    // Cut to 31 and 63 characters; wide characters keep their low 7 bits.
                    BlockCase{"LongCut", std::wstring(40, L'9'), std::wstring(70, L'c'), kJson,
                              std::string(31, '9'), std::string(63, 'c')},
                    BlockCase{"Low7Bits", L"1.\x00C1", L"\x4E2D" L"x", kJson, "1.A", "-x"}),
    [](const testing::TestParamInfo<BlockCase>& info) { return std::string(info.param.name); });

TEST(CrashJson, FastWriterTextWithAndWithoutLog) {
  const std::string log = "C:\\logs\\install.log";
  EXPECT_EQ(CrashJson("", false, nullptr), "{\"except_msg\":{\"crashPoint\":\"\",\"living\":false}}\n");
  EXPECT_EQ(CrashJson("tz.dll!0x10001000\r\n", true, &log),
            "{\"except_msg\":{\"crashPoint\":\"tz.dll!0x10001000\\r\\n\",\"living\":true},"
            "\"inst_log\":\"C:\\\\logs\\\\install.log\"}\n");
}

TEST(CrashPoint, ModuleAndAddress) {
  EXPECT_EQ(CrashPointText(L"tz-hosttest.dll", 0x646c2e6f), L"tz-hosttest.dll!0x646c2e6f\r\n");
  EXPECT_EQ(CrashPointText(L"", 0x401000), L"<unknown>!0x401000\r\n");
  EXPECT_EQ(CrashPointText(std::wstring(600, L'm'), 1).size(), 511u);
}

TEST(CrashMapping, SixteenCharactersOfTheAlphabetAndNewOnEachDraw) {
  srand(7);
  const std::wstring a = CrashMappingName();
  const std::wstring b = CrashMappingName();
  ASSERT_EQ(a.size(), 16u);
  EXPECT_EQ(a.find_first_not_of(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"), std::wstring::npos);
  EXPECT_NE(a, b);
}

TEST(ReporterLocation, UnderTheProductsToolsFolder) {
  EXPECT_EQ(ReporterPath(L"C:\\Users\\a b\\AppData\\Roaming", L"App"),
            L"C:\\Users\\a b\\AppData\\Roaming\\App\\tools\\tzbugreport.exe");
  EXPECT_EQ(ReporterPath(L"", L"App"), L"");
  EXPECT_EQ(ReporterPath(L"C:\\" + std::wstring(250, L'x'), L"App"), L"");
}

}  // namespace
