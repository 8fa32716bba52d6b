#include "setup/platform/posix/posix_code_page.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <utility>

namespace setup {
namespace {

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts from `in` onwards, appending to `out`, until the input is used up or a sequence
  // cannot be converted. Returns 0 when all was converted, else the errno iconv gave (EILSEQ or
  // EINVAL) with `in` left at the offending byte.
  int Convert(std::string_view& in, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
    // iconv's interface takes a non-const input pointer but does not write through it.
    char* in_ptr = const_cast<char*>(in.data());
    std::size_t in_left = in.size();
    char buffer[1024];
    int result = 0;
    while (in_left > 0) {
      char* out_ptr = buffer;
      std::size_t out_left = sizeof buffer;
      const std::size_t done = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
      out.append(buffer, sizeof buffer - out_left);
      if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
        result = errno;
        break;
      }
    }
    in = std::string_view(in_ptr, in_left);
    return result;
  }

 private:
  iconv_t cd_;
};

// The code point starting at `utf8`'s first byte, as "U+XXXX", for messages.
std::string DescribeCharacter(std::string_view utf8) {
  if (utf8.empty()) return "end of text";
  const auto lead = static_cast<unsigned char>(utf8[0]);
  std::size_t length = 1;
  char32_t value = lead;
  if (lead >= 0xF0 && lead < 0xF8) {
    length = 4;
    value = lead & 0x07u;
  } else if (lead >= 0xE0) {
    length = 3;
    value = lead & 0x0Fu;
  } else if (lead >= 0xC0) {
    length = 2;
    value = lead & 0x1Fu;
  }
  if (lead >= 0x80 && (length == 1 || lead >= 0xF8 || utf8.size() < length)) {
    char text[32];
    std::snprintf(text, sizeof text, "byte 0x%02X", static_cast<unsigned>(lead));
    return text;
  }
  for (std::size_t i = 1; i < length; ++i) {
    value = (value << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3Fu);
  }
  char text[32];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(value));
  return text;
}

// Start of the UTF-8 character that holds byte `offset`.
std::size_t CharacterStart(std::string_view utf8, std::size_t offset) {
  while (offset > 0 && (static_cast<unsigned char>(utf8[offset]) & 0xC0u) == 0x80u) --offset;
  return offset;
}

}  // namespace

bool PosixCodePage::IsLeadByte(unsigned char byte) const {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::string PosixCodePage::ToUtf8(std::string_view ansi) const {
  std::string utf8;
  utf8.reserve(ansi.size() * 3 / 2);
  Converter converter("UTF-8", "CP932");
  if (!converter.ok()) {
    for (const char c : ansi) {
      if (static_cast<unsigned char>(c) < 0x80) {
        utf8.push_back(c);
      } else {
        utf8.append(kReplacementUtf8);
      }
    }
    return utf8;
  }
  while (!ansi.empty()) {
    if (converter.Convert(ansi, utf8) == 0) break;
    utf8.append(kReplacementUtf8);
    ansi.remove_prefix(1);
  }
  return utf8;
}

Status PosixCodePage::FromUtf8(std::string_view utf8, std::string& ansi) const {
  Converter encoder("CP932", "UTF-8");
  Converter decoder("UTF-8", "CP932");
  if (!encoder.ok() || !decoder.ok()) {
    return Status::Error(StatusCode::kUnsupported, "code page 932 is not available");
  }
  std::string encoded;
  encoded.reserve(utf8.size());
  std::string_view rest = utf8;
  if (encoder.Convert(rest, encoded) != 0) {
    return Status::Error(StatusCode::kOther,
                         "code page 932 cannot hold " + DescribeCharacter(rest) + " of the text");
  }
  // iconv stores some characters as look-alikes without reporting it; reading the bytes back
  // is the one way to notice.
  std::string_view encoded_view = encoded;
  std::string decoded;
  decoded.reserve(utf8.size());
  if (decoder.Convert(encoded_view, decoded) != 0 || decoded != utf8) {
    std::size_t same = 0;
    while (same < utf8.size() && same < decoded.size() && utf8[same] == decoded[same]) ++same;
    return Status::Error(StatusCode::kOther,
                         "code page 932 cannot hold " +
                             DescribeCharacter(utf8.substr(CharacterStart(utf8, same))) +
                             " of the text");
  }
  ansi = std::move(encoded);
  return Status::Ok();
}

}  // namespace setup
