#pragma once
// The menu file a template gives, worked out on its own for the tests, whatever the program does:
// lines end at CR LF or a lone CR and are each written with CR LF; an "xxxxx" becomes `folder`
// where it starts a character, never inside a double-byte one (with `dbcs`, a lead byte of code
// page 932 takes the next byte of its line).

#include <string>
#include <string_view>

// The first byte of a two-byte character in code page 932 (Shift-JIS as Windows extends it).
constexpr bool IsLeadByte932(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

inline std::string OracleMenu(std::string_view t, bool dbcs, std::string_view folder) {
  std::string out;
  for (std::size_t i = 0, n = 0; i < t.size(); i += n) {
    const bool lead = dbcs && IsLeadByte932(static_cast<unsigned char>(t[i]));
    n = t[i] == '\r'                                   ? (t.compare(i, 2, "\r\n") ? 1 : 2)
        : t.substr(i, 5) == "xxxxx"                    ? 5
        : lead && i + 1 < t.size() && t[i + 1] != '\r' ? 2
                                                       : 1;
    out += t[i] == '\r' ? "\r\n" : n == 5 ? folder : t.substr(i, n);
  }
  // The last line needs its CR LF unless the template ended one: the replacement may be empty.
  return t.empty() || t.back() == '\r' || t.ends_with("\r\n") ? out : out + "\r\n";
}
