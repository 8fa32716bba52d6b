#pragma once
// What the program asks of the operating system besides windows and files.

#include <cstdint>
#include <string>
#include <string_view>

#include "setup/platform/status.h"

namespace setup {

// The system's ANSI code page (932 where the platform has none). Conversions work on whole
// texts; bytes that are not valid in the code page come back as U+FFFD when decoding.
class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual bool IsLeadByte(unsigned char byte) const = 0;
  virtual std::string ToUtf8(std::string_view ansi) const = 0;
  virtual Status FromUtf8(std::string_view utf8, std::string& ansi) const = 0;
};

class System {
 public:
  virtual ~System() = default;

  // As GetSystemDirectoryA: with a null buffer or a size too small, returns the size needed in
  // bytes counting the terminating NUL; otherwise copies the path with its NUL and returns its
  // length without it. Returns 0 on failure.
  virtual std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) = 0;
  // The folder of the running program: no trailing backslash except at a drive root ("E:\").
  virtual Status ApplicationPath(std::string& folder) = 0;
  // A pause in which no window message runs.
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // A pause in which the program's windows still answer what other programs send them (a close,
  // the end of the session, the system asking whether they are alive) but take no input: Windows
  // offers to end a screen that has not looked at its messages for 5 seconds.
  virtual void Wait(std::uint32_t milliseconds) = 0;
  virtual const CodePage& AnsiCodePage() const = 0;
};

}  // namespace setup
