#pragma once
// UTF-8 inside the program, UTF-16 at every wide Win32 call.

#include <string>
#include <string_view>

namespace setup::win32 {

// Invalid UTF-8 becomes U+FFFD, as the system converter does.
std::wstring Wide(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf8(std::wstring_view wide);

}  // namespace setup::win32
