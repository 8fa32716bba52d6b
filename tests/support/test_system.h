#pragma once
// The system as the native tests give it: a code page through the C library's converters, a
// fixed program folder and system directory, and pauses that take no time but are counted.

#include <iconv.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "setup/platform/system.h"
#include "tests/menu_oracle.h"  // IsLeadByte932

namespace setup::testing {

// Code page 932 or 1252 as far as the tests need one: its lead bytes, decoding of valid text (the
// system folders the tests give), and encoding of ASCII, which is all the tests encode.
class TestCodePage final : public CodePage {
 public:
  explicit TestCodePage(unsigned number = 932) : double_byte_(number == 932) {}
  bool IsLeadByte(unsigned char byte) const override { return double_byte_ && IsLeadByte932(byte); }
  std::string ToUtf8(std::string_view ansi) const override {
    const iconv_t cd = iconv_open("UTF-8", double_byte_ ? "CP932" : "CP1252");
    std::string utf8(3 * ansi.size(), '\0');
    char *in = const_cast<char*>(ansi.data()), *out = utf8.data();  // iconv does not write via in
    std::size_t left = ansi.size(), room = utf8.size();
    iconv(cd, &in, &left, &out, &room);
    iconv_close(cd);
    return utf8.substr(0, utf8.size() - room);
  }
  Status FromUtf8(std::string_view utf8, std::string& ansi) const override {
    for (const char c : utf8) {
      if (static_cast<unsigned char>(c) >= 0x80)
        return Status::Error(StatusCode::kOther, "non-ASCII");
    }
    return ansi = utf8, Status::Ok();
  }

 private:
  bool double_byte_;
};

struct TestSystem final : System {
  // `system_folder` is in the code page's bytes, as Windows reports it; empty stands for a system
  // that cannot say.
  explicit TestSystem(std::string program_folder = "D:\\SETUP",
                      std::string system_folder = "C:\\WINDOWS\\system32")
      : application_path(std::move(program_folder)), system_dir(std::move(system_folder)) {}
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override {
    const auto length = static_cast<std::uint32_t>(system_dir.size());
    if (system_dir.empty()) return 0;
    if (buffer == nullptr || size <= length) return length + 1;
    std::memcpy(buffer, system_dir.c_str(), length + 1);
    return length;
  }
  Status ApplicationPath(std::string& folder) override {
    return folder = application_path, Status();
  }
  void Sleep(std::uint32_t milliseconds) override { slept_ms += milliseconds; }
  void Wait(std::uint32_t milliseconds) override { waited_ms += milliseconds; }
  const CodePage& AnsiCodePage() const override { return code_page; }

  std::string application_path, system_dir;
  TestCodePage code_page;
  std::uint64_t slept_ms = 0, waited_ms = 0;  // the pauses asked for, each kind
};

}  // namespace setup::testing
