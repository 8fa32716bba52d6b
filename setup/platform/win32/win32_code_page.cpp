#include "setup/platform/win32/win32_code_page.h"

#include <windows.h>

#include <climits>
#include <cstddef>
#include <utility>

#include "setup/platform/win32/wide.h"

namespace setup::win32 {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

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
  // UTF-8, which GetACP gives where the system is set to it, takes neither
  // WC_NO_BEST_FIT_CHARS nor the used-default flag: only reading the bytes back tells there.
  const bool checked = code_page != CP_UTF8;
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

}  // namespace

Win32CodePage::Win32CodePage() : code_page_(GetACP()) {}

bool Win32CodePage::IsLeadByte(unsigned char byte) const {
  return IsDBCSLeadByteEx(code_page_, byte) != FALSE;
}

std::string Win32CodePage::ToUtf8(std::string_view ansi) const {
  std::wstring wide;
  if (Decode(code_page_, MB_ERR_INVALID_CHARS, ansi, wide)) return Utf8(wide);

  // With the flag the system refuses the whole text for one bad byte; without it, it puts in
  // the code page's default character (U+30FB under 932) and takes the byte after a lead byte
  // along, even a space. Walking the characters one by one gives one U+FFFD per bad byte.
  CPINFO info{};
  const bool walkable =
      GetCPInfo(code_page_, &info) && (info.MaxCharSize <= 2 || code_page_ == CP_UTF8);
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
  std::string encoded;
  if (!Decode(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, wide) ||
      !EncodeExactly(code_page_, wide, encoded)) {
    return Status::Error(StatusCode::kOther,
                         "code page " + std::to_string(code_page_) + " cannot hold the text");
  }
  ansi = std::move(encoded);
  return Status::Ok();
}

}  // namespace setup::win32
