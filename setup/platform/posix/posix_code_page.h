#pragma once
// Code page 932 (Shift-JIS as Windows extends it) for platforms without one, through iconv.

#include <string>
#include <string_view>

#include "setup/platform/status.h"
#include "setup/platform/system.h"

namespace setup {

// Opens its converters per call, so one object may be shared freely. When the C library has no
// CP932 converter, ToUtf8 keeps ASCII and turns every other byte into U+FFFD, and FromUtf8
// fails with kUnsupported.
class PosixCodePage final : public CodePage {
 public:
  // 0x81-0x9F and 0xE0-0xFC: the first byte of a two-byte character.
  bool IsLeadByte(unsigned char byte) const override;
  // Each byte that does not start a valid character (a lone lead byte at the end included)
  // becomes one U+FFFD, and decoding goes on with the next byte.
  std::string ToUtf8(std::string_view ansi) const override;
  // Fails with kOther, naming the character, on text that is not UTF-8 or has a character the
  // code page cannot hold. A character that would only be stored as a look-alike (U+00A5 as
  // '\', U+203E as '~') counts as one it cannot hold, since it would not read back as itself.
  Status FromUtf8(std::string_view utf8, std::string& ansi) const override;
};

}  // namespace setup
