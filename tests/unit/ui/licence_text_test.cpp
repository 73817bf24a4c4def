#include <gtest/gtest.h>

#include <string>

#include "ui/licence_text.h"

namespace {

struct DecodeCase {
  std::string bytes;
  std::wstring expected;
};

TEST(LicenceText, DecodesUtf16ByCodeUnitsOrUtf8AfterItsMark) {
  const DecodeCase cases[] = {
      {std::string("T\0i\0", 4), L"Ti"},
      {std::string("\xFF\xFET\0i\0", 6), L"Ti"},             // one byte order mark dropped
      {std::string("\xFF\xFE\xFF\xFEx\0", 6), L"\xFEFFx"},   // only one
      {std::string("T\0i\0!", 5), L"Ti"},                    // odd last byte dropped
      {std::string("\x2D\x4E", 2), L"\x4E2D"},               // 中
      {std::string("\xEF\xBB\xBF\xE4\xB8\xAD\r\nx", 9), L"\x4E2D\r\nx"},
      {std::string("a\0\0\0b\0", 6), L"a"},                  // ends at a zero character
      {std::string(), L""},
  };
  for (const DecodeCase& c : cases) EXPECT_EQ(DecodeLicenceText(c.bytes.data(), c.bytes.size()), c.expected);
}

TEST(LicenceText, SplitsAtTheFirstLineBreak) {
  struct Case {
    std::wstring text, title, body;
    bool has_body;
  } cases[] = {
      {L"Title\r\n\r\nBody\r\nmore", L"Title", L"\r\nBody\r\nmore", true},
      {L"Only a title", L"Only a title", L"", false},
      {L"Title\r\n", L"Title", L"", true},
      {L"Lone\nfeed", L"Lone\nfeed", L"", false},
  };
  for (const Case& c : cases) {
    const LicenceParts parts = SplitLicenceText(c.text);
    EXPECT_EQ(parts.title, c.title);
    EXPECT_EQ(parts.body, c.body);
    EXPECT_EQ(parts.has_body, c.has_body);
  }
}

TEST(LicenceText, SizesFollowTheScaleFactor) {
  EXPECT_EQ(LicenceTwips(195, 1.0), 195);
  EXPECT_EQ(LicenceTwips(195, 1.25), 156);
  EXPECT_EQ(LicenceTwips(180, 2.0), 90);
  EXPECT_EQ(LicenceTwips(180, 0.0), 180);  // a failed query counts as unscaled
}

}  // namespace
