#include "setup/platform/win32/win32_code_page.h"

#include <windows.h>

#include <climits>
#include <cstddef>
#include <string>
#include <utility>

#include "setup/platform/win32/wide.h"

namespace setup::win32 {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;
constexpr UINT kGb18030 = 54936;

// The ISO-2022 family, ISCII, UTF-7 and Symbol refuse every conversion flag.
bool TakesNoFlags(UINT code_page) {
  return code_page == 42 || code_page == CP_UTF7 || (code_page >= 50220 && code_page <= 50229) ||
         (code_page >= 57002 && code_page <= 57011);
}

// Where WideCharToMultiByte takes neither WC_NO_BEST_FIT_CHARS nor the used-default flag, so
// only reading the bytes back shows a character that was not stored as itself.
bool LacksDefaultCharCheck(UINT code_page) {
  return TakesNoFlags(code_page) || code_page == CP_UTF8 || code_page == kGb18030;
}

bool Decode(UINT code_page, DWORD flags, std::string_view bytes, std::wstring& wide) {
  wide.clear();
  if (bytes.empty()) return true;
  if (bytes.size() > INT_MAX) return false;
  const int size = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(code_page, flags, bytes.data(), size, nullptr, 0);
  if (n <= 0) return false;
  wide.resize(static_cast<std::size_t>(n));
  if (MultiByteToWideChar(code_page, flags, bytes.data(), size, wide.data(), n) != n) {
    wide.clear();
    return false;
  }
  return true;
}

// False when the code page lacks a character of `wide` or would store one as a look-alike.
bool EncodeExactly(UINT code_page, std::wstring_view wide, std::string& bytes) {
  bytes.clear();
  if (wide.empty()) return true;
  if (wide.size() > INT_MAX) return false;
  const int size = static_cast<int>(wide.size());
  const bool checked = !LacksDefaultCharCheck(code_page);
  const DWORD flags = checked ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL used_default = FALSE;
  BOOL* const used = checked ? &used_default : nullptr;
  const int n = WideCharToMultiByte(code_page, flags, wide.data(), size, nullptr, 0, nullptr, used);
  if (n <= 0 || used_default) return false;
  bytes.resize(static_cast<std::size_t>(n));
  if (WideCharToMultiByte(code_page, flags, wide.data(), size, bytes.data(), n, nullptr, used) !=
          n ||
      used_default) {
    return false;
  }
  // Cheap next to the conversion, and the one check that holds on every code page.
  std::wstring back;
  return Decode(code_page, 0, bytes, back) && back == wide;
}

// How many bytes a UTF-8 sequence starting with `lead` claims; 1 for a byte that starts none.
std::size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 1;
}

std::size_t FirstInvalidUtf8Byte(std::string_view utf8) {
  std::wstring ignored;
  std::size_t at = 0;
  while (at < utf8.size()) {
    const std::size_t length = Utf8Length(static_cast<unsigned char>(utf8[at]));
    if (length > utf8.size() - at ||
        !Decode(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.substr(at, length), ignored)) {
      break;
    }
    at += length;
  }
  return at;
}

// "U+00A5", "byte 0x80": upper-case hexadecimal, at least `digits` long. Not snprintf, which
// links the C library's whole printf, floating point included, for two integers.
std::string Hex(std::string text, unsigned value, std::size_t digits) {
  const std::size_t start = text.size();
  do {
    text.insert(start, 1, "0123456789ABCDEF"[value % 16]);
    value /= 16;
  } while (value != 0 || text.size() - start < digits);
  return text;
}

Status Refusal(UINT code_page, const std::string& what) {
  return Status::Error(StatusCode::kOther, "code page " + std::to_string(code_page) +
                                               " cannot hold " + what + " of the text");
}

}  // namespace

Win32CodePage::Win32CodePage() : code_page_(GetACP()) {}

Win32CodePage::Win32CodePage(unsigned int code_page) : code_page_(code_page) {}

bool Win32CodePage::IsLeadByte(unsigned char byte) const {
  return IsDBCSLeadByteEx(code_page_, byte) != FALSE;
}

std::string Win32CodePage::ToUtf8(std::string_view ansi) const {
  const DWORD strict = TakesNoFlags(code_page_) ? 0 : MB_ERR_INVALID_CHARS;
  std::wstring wide;
  if (Decode(code_page_, strict, ansi, wide)) return Utf8(wide);

  // With the flag the system refuses the whole text for one bad byte; without it, it puts in
  // the code page's default character (U+30FB under 932) and takes the byte after a lead byte
  // along, even a space. Walking the characters one by one gives one U+FFFD per bad byte.
  CPINFO info{};
  const bool walkable = strict != 0 && GetCPInfo(code_page_, &info) &&
                        (info.MaxCharSize <= 2 || code_page_ == CP_UTF8);
  if (!walkable) {
    (void)Decode(code_page_, 0, ansi, wide);
    return Utf8(wide);
  }
  std::wstring one;
  while (!ansi.empty()) {
    const auto lead = static_cast<unsigned char>(ansi[0]);
    std::size_t length = 1;
    if (code_page_ == CP_UTF8) {
      length = Utf8Length(lead);
    } else if (info.MaxCharSize == 2 && IsDBCSLeadByteEx(code_page_, lead)) {
      length = 2;
    }
    if (length <= ansi.size() &&
        Decode(code_page_, MB_ERR_INVALID_CHARS, ansi.substr(0, length), one)) {
      wide += one;
      ansi.remove_prefix(length);
    } else {
      wide.push_back(kReplacement);
      ansi.remove_prefix(1);
    }
  }
  return Utf8(wide);
}

Status Win32CodePage::FromUtf8(std::string_view utf8, std::string& ansi) const {
  if (utf8.size() > INT_MAX) {
    return Status::Error(StatusCode::kUnsupported, "text too long to convert");
  }
  std::wstring wide;
  if (!Decode(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, wide)) {
    const std::size_t at = FirstInvalidUtf8Byte(utf8);
    return Refusal(code_page_,
                   Hex("byte 0x", at < utf8.size() ? static_cast<unsigned char>(utf8[at]) : 0u, 2));
  }
  std::string encoded;
  if (EncodeExactly(code_page_, wide, encoded)) {
    ansi = std::move(encoded);
    return Status::Ok();
  }
  // Only now is it worth finding which character it was, for the message.
  std::string ignored;
  for (std::size_t i = 0; i < wide.size();) {
    const bool pair = wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size();
    const std::size_t length = pair ? 2 : 1;
    if (!EncodeExactly(code_page_, std::wstring_view(wide).substr(i, length), ignored)) {
      const char32_t value =
          pair ? 0x10000 + ((char32_t{wide[i]} - 0xD800) << 10) + (char32_t{wide[i + 1]} - 0xDC00)
               : char32_t{wide[i]};
      return Refusal(code_page_, Hex("U+", static_cast<unsigned>(value), 4));
    }
    i += length;
  }
  // Every character fits alone but not the whole: a code page whose bytes depend on what
  // came before.
  return Refusal(code_page_, "some");
}

}  // namespace setup::win32
