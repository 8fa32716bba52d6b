#pragma once
// The system as the native tests give it: a code page through the C library's converters, a
// fixed program folder and system directory, and pauses that take no time but are counted.

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "setup/platform/system.h"

namespace setup::testing {

// The first byte of a two-byte character in code page 932 (Shift-JIS as Windows extends it).
constexpr bool IsLeadByte932(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Code page 932 or 1252, as far as the install run needs one: lead bytes, and conversions that
// refuse what would not read back as itself.
class TestCodePage final : public CodePage {
 public:
  explicit TestCodePage(unsigned number = 932)
      : name_(number == 932 ? "CP932" : "CP1252"), double_byte_(number == 932) {}
  bool IsLeadByte(unsigned char byte) const override { return double_byte_ && IsLeadByte932(byte); }
  std::string ToUtf8(std::string_view ansi) const override {
    std::string utf8;
    // One U+FFFD for each byte that starts no character, then on with the next byte.
    while (!Convert("UTF-8", name_, ansi, utf8) && !ansi.empty())
      utf8 += "\xEF\xBF\xBD", ansi.remove_prefix(1);
    return utf8;
  }
  Status FromUtf8(std::string_view utf8, std::string& ansi) const override {
    std::string bytes, back;
    std::string_view rest = utf8, encoded;
    if (!Convert(name_, "UTF-8", rest, bytes) || !Convert("UTF-8", name_, encoded = bytes, back) ||
        back != utf8) {
      return Status::Error(StatusCode::kOther, std::string(name_) + " cannot hold the text");
    }
    ansi = std::move(bytes);
    return Status::Ok();
  }

 private:
  // Appends what converts of `in` to `out`; false, with `in` at the first byte that does not.
  static bool Convert(const char* to, const char* from, std::string_view& in, std::string& out) {
    const iconv_t cd = iconv_open(to, from);
    char* in_at = const_cast<char*>(in.data());  // iconv does not write through it
    std::size_t in_left = in.size();
    bool ok = cd != reinterpret_cast<iconv_t>(-1);
    while (ok && in_left > 0) {
      char buffer[256];
      char* out_at = buffer;
      std::size_t out_left = sizeof buffer;
      ok = iconv(cd, &in_at, &in_left, &out_at, &out_left) != std::size_t(-1) || errno == E2BIG;
      out.append(buffer, sizeof buffer - out_left);
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    in = std::string_view(in_at, in_left);
    return ok;
  }

  const char* name_;
  bool double_byte_;
};

struct TestSystem final : System {
  // `system_dir` is in the code page's bytes, as Windows reports it; empty stands for a system
  // that cannot say.
  explicit TestSystem(std::string application_path = "D:\\SETUP",
                      std::string system_dir = "C:\\WINDOWS\\system32", unsigned code_page = 932)
      : application_path(std::move(application_path)),
        system_dir(std::move(system_dir)),
        code_page(code_page) {}
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
  const CodePage& AnsiCodePage() const override { return code_page; }

  std::string application_path, system_dir;
  TestCodePage code_page;
  std::uint64_t slept_ms = 0;  // the pauses asked for
};

}  // namespace setup::testing
