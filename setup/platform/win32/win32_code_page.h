#pragma once
// The system's ANSI code page, converted by the system itself.

#include <string>
#include <string_view>

#include "setup/platform/status.h"
#include "setup/platform/system.h"

namespace setup::win32 {

// Stateless after construction, so one object may be shared freely.
class Win32CodePage final : public CodePage {
 public:
  // The ANSI code page of the running system (GetACP).
  Win32CodePage();

  // True for the first byte of a double-byte character; never for single-byte code pages or
  // UTF-8.
  bool IsLeadByte(unsigned char byte) const override;
  // Each byte that does not start a character the system's table defines (a lone lead byte at
  // the end included) becomes one U+FFFD, and decoding goes on with the next byte. The table
  // may define more than other converters do: under 932 Windows reads 0x80 as U+0080.
  std::string ToUtf8(std::string_view ansi) const override;
  // Fails with kOther on text that is not UTF-8 or has a character the code page cannot hold
  // exactly. A character the system would only store as a look-alike
  // (U+00A5 as '\' under code page 932) counts as one it cannot hold.
  Status FromUtf8(std::string_view utf8, std::string& ansi) const override;

 private:
  unsigned int code_page_;
};

}  // namespace setup::win32
