#include "setup/platform/posix/posix_code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace setup {
namespace {

struct Encoded {
  const char* utf8;
  const char* cp932;
};

// Known code page 932 encodings: half-width kana, kanji, trail bytes of 0x5C, a circled digit
// from the extension rows and the Windows reading of 0x8160.
constexpr Encoded kEncodings[] = {
    {"", ""},
    {"setup.exe", "setup.exe"},
    {"C:\\windows", "C:\\windows"},
    {"\xEF\xBD\xB1", "\xB1"},                                              // ｱ
    {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\x93\xFA\x96\x7B\x8C\xEA"},  // 日本語
    {"\xE3\x82\xBD\xE3\x83\xBC", "\x83\x5C\x81\x5B"},                      // ソー
    {"\xE8\xA1\xA8\\", "\x95\x5C\\"},                                      // 表 then a backslash
    {"\xE2\x91\xA0", "\x87\x40"},                                          // ①
    {"\xEF\xBD\x9E", "\x81\x60"},                                          // ～
};

TEST(PosixCodePageTest, EncodesAndDecodesKnownText) {
  const PosixCodePage code_page;
  for (const Encoded& e : kEncodings) {
    SCOPED_TRACE(e.utf8);
    std::string ansi = "left over";
    ASSERT_TRUE(code_page.FromUtf8(e.utf8, ansi).ok());
    EXPECT_EQ(ansi, e.cp932);
    EXPECT_EQ(code_page.ToUtf8(e.cp932), e.utf8);
  }
}

TEST(PosixCodePageTest, LeadBytesAreTheTwoDoubleByteRanges) {
  const PosixCodePage code_page;
  const struct {
    unsigned char byte;
    bool lead;
  } cases[] = {
      {0x00, false}, {0x40, false}, {0x5C, false}, {0x7F, false}, {0x80, false},
      {0x81, true},  {0x9F, true},  {0xA0, false}, {0xA1, false}, {0xDF, false},
      {0xE0, true},  {0xEF, true},  {0xFC, true},  {0xFD, false}, {0xFF, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(code_page.IsLeadByte(c.byte), c.lead) << static_cast<int>(c.byte);
  }
  // Every lead byte really starts a two-byte character: with a valid trail it decodes to one.
  EXPECT_EQ(code_page.ToUtf8("\x81\x40"), "\xE3\x80\x80");  // ideographic space
  EXPECT_EQ(code_page.ToUtf8("\xFC\x4B"), "\xE9\xBB\x91");  // 黑, the last IBM extension
}

TEST(PosixCodePageTest, EachBadByteBecomesOneReplacementCharacter) {
  const PosixCodePage code_page;
  const std::string bad = "\xEF\xBF\xBD";
  const struct {
    const char* ansi;
    std::string utf8;
  } cases[] = {
      {"\x80", bad},
      {"\xA0", bad},
      {"\xFD\xFE\xFF", bad + bad + bad},
      {"A\x81", "A" + bad},                    // lead byte cut off at the end
      {"\x81 x", bad + " x"},                  // lead byte with a trail that cannot be
      {"\x85\x40", bad + "@"},                 // a row the code page leaves empty
      {"\x80\x93\xFA", bad + "\xE6\x97\xA5"},  // decoding goes on after the bad byte
      {"\xB1\xFF\xB1", "\xEF\xBD\xB1" + bad + "\xEF\xBD\xB1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(code_page.ToUtf8(c.ansi), c.utf8) << c.ansi;
  }
}

TEST(PosixCodePageTest, RefusesCharactersItCannotHold) {
  const PosixCodePage code_page;
  const struct {
    const char* utf8;
    const char* named;
  } cases[] = {
      {"\xE2\x82\xAC", "U+20AC"},       // €
      {"a\xE9\xB7\x97", "U+9DD7"},      // 鷗, outside the code page's kanji
      {"\xF0\x9F\x98\x80", "U+1F600"},  // an emoji
      {"x\xC2\xA5", "U+00A5"},          // ¥ would come back as '\'
      {"\xE2\x80\xBE", "U+203E"},       // ‾ would come back as '~'
      {"ok\xC3", "0xC3"},               // not UTF-8
  };
  for (const auto& c : cases) {
    std::string ansi;
    const Status status = code_page.FromUtf8(c.utf8, ansi);
    EXPECT_EQ(status.code(), StatusCode::kOther) << c.utf8;
    EXPECT_NE(status.message().find(c.named), std::string::npos) << status.message();
  }
}

}  // namespace
}  // namespace setup
