// Runs the Win32 platform layer against a real system (Wine in CI) in a scratch folder under
// %TEMP%, which it leaves for the caller to remove: one line per failed check, then a summary;
// the exit status is 1 on any failure.
//
//   platform_check.exe [X:]   X: a drive with an empty root, best on another volume than %TEMP%
//   platform_check.exe --application-path <file>   writes the program's folder to <file>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_code_page.h"
#include "setup/platform/win32/win32_file_system.h"
#include "setup/platform/win32/win32_system.h"

namespace setup::win32 {
namespace {

using Names = std::vector<std::string>;

int g_checks = 0;
int g_failures = 0;
Win32FileSystem g_fs;

void Expect(bool ok, const std::string& what) {
  ++g_checks;
  if (ok) return;
  ++g_failures;
  std::printf("FAIL: %s\n", what.c_str());
}

void ExpectCode(const Status& status, StatusCode code, const std::string& what) {
  Expect(status.code() == code, what + " [" + (status.ok() ? "ok" : status.message()) + "]");
}

// Reads in pieces smaller than the files of CheckBytes; `reads` counts the calls.
std::optional<std::string> Read(const std::string& path, int* reads = nullptr) {
  std::unique_ptr<ReadableFile> file;
  if (!g_fs.OpenForReading(path, file).ok()) return std::nullopt;
  std::string bytes;
  char buffer[64 * 1024];
  std::size_t got = 0;
  do {
    if (!file->Read(buffer, got).ok()) return std::nullopt;
    bytes.append(buffer, got);
    if (reads != nullptr) ++*reads;
  } while (got != 0);
  return bytes;
}

// Appends in pieces of 100,000 bytes.
Status StoreFile(const std::string& path, std::string_view bytes) {
  std::unique_ptr<WritableFile> file;
  if (Status opened = g_fs.OpenForWriting(path, file); !opened.ok()) return opened;
  for (std::size_t at = 0; at < bytes.size(); at += 100'000) {
    if (Status appended = file->Append(bytes.substr(at, 100'000)); !appended.ok()) return appended;
  }
  return file->Close();
}

void Write(const std::string& path, std::string_view bytes, DWORD attributes = 0) {
  ExpectCode(StoreFile(path, bytes), StatusCode::kOk, "write " + path);
  if (attributes != 0) {
    Expect(SetFileAttributesW(Wide(path).c_str(), attributes) != FALSE, "mark " + path);
  }
}

std::string MakeFolder(const std::string& path) {
  ExpectCode(g_fs.MakeFolder(path), StatusCode::kOk, "make folder " + path);
  return path;
}

Names List(const std::string& folder) {
  Names names;
  ExpectCode(g_fs.ListFiles(folder, names), StatusCode::kOk, "list " + folder);
  std::sort(names.begin(), names.end());
  return names;
}

// CR, LF, NUL, 0x1A and every high byte, then enough to take several reads.
void CheckBytes(const std::string& folder) {
  std::string bytes = "\r\n\n\r";
  for (int i = 0; bytes.size() < 300'000; ++i) bytes.push_back(static_cast<char>(i));
  const std::string path = folder + "\\bytes.bin";
  Write(path, bytes);
  int reads = 0;
  Expect(Read(path, &reads) == bytes && reads == 6, "bytes read back as written, in 5 pieces");
  Write(path, "short");
  Expect(Read(path) == "short", "a second write truncates");
  {
    // Open for writing, nobody else may open it; abandoned, it can be removed.
    std::unique_ptr<WritableFile> open;
    ExpectCode(g_fs.OpenForWriting(path, open), StatusCode::kOk, "open for writing");
    ExpectCode(open->Append("partial"), StatusCode::kOk, "append");
    std::unique_ptr<ReadableFile> reader;
    ExpectCode(g_fs.OpenForReading(path, reader), StatusCode::kSharingViolation,
               "read while written");
    open.reset();
    ExpectCode(g_fs.Remove(path), StatusCode::kOk, "remove an abandoned file");
  }
  std::unique_ptr<ReadableFile> file;
  ExpectCode(g_fs.OpenForReading(folder, file), StatusCode::kAccessDenied, "open a folder");
  ExpectCode(g_fs.OpenForReading(path + "x", file), StatusCode::kNotFound, "open missing");
}

// `src` and `dst` are empty folders, on one volume or two.
void CheckListAndMove(const std::string& src, const std::string& dst) {
  // Japanese, a letter code page 932 lacks, and a character no ANSI code page holds.
  const Names names = {"caf\u00e9.mns", "\u30c4\u30fc\u30eb.dvb", "\U0001F527.bmp"};
  for (const std::string& name : names) Write(src + "\\" + name, name);
  Write(src + "\\hidden.dvb", "h", FILE_ATTRIBUTE_HIDDEN);
  Write(src + "\\system.dvb", "s", FILE_ATTRIBUTE_SYSTEM);
  MakeFolder(src + "\\folder.dvb");
  Expect(List(src) == names, "only the plain files are listed");
  Expect(List(dst).empty(), "an empty folder lists nothing");
  Names ignored;
  ExpectCode(g_fs.ListFiles(src + "\\none", ignored), StatusCode::kNotFound, "list missing");
  Expect(g_fs.FileExists(src + "\\hidden.dvb") && !g_fs.FileExists(src + "\\folder.dvb") &&
             !g_fs.FileExists(src + "\\none"),
         "FileExists is true for files only");

  for (const std::string& name : names) {
    ExpectCode(g_fs.Move(src + "\\" + name, dst + "\\" + name), StatusCode::kOk, "move " + name);
    Expect(Read(dst + "\\" + name) == name, "moved intact: " + name);
  }
  Write(src + "\\a.dvb", "new");
  Write(dst + "\\a.dvb", "old");
  ExpectCode(g_fs.Move(src + "\\a.dvb", dst + "\\a.dvb"), StatusCode::kAlreadyExists, "move on");
  Expect(Read(src + "\\a.dvb") == "new" && Read(dst + "\\a.dvb") == "old", "move kept both");
  const std::string folder = MakeFolder(dst + "\\b.dvb");
  ExpectCode(g_fs.Replace(src + "\\a.dvb", folder + "\\..\\a.dvb"), StatusCode::kOk, "replace");
  Expect(!g_fs.FileExists(src + "\\a.dvb") && Read(dst + "\\a.dvb") == "new", "replaced");
  Write(src + "\\b.dvb", "b");
  Expect(!g_fs.Replace(src + "\\b.dvb", folder).ok() && Read(src + "\\b.dvb") == "b",
         "replacing a folder fails and keeps the file");

  // Held without sharing, or shared for reading only; across volumes the second lets the copy
  // succeed and only the source's deletion fail, which must not leave two files.
  const std::string held = src + "\\c.dvb";
  for (const DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}}) {
    Write(held, "c");
    UniqueHandle holder(CreateFileW(Wide(held).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string what = " held with sharing " + std::to_string(share);
    ExpectCode(g_fs.Move(held, dst + "\\c.dvb"), StatusCode::kSharingViolation, "move" + what);
    ExpectCode(StoreFile(held, "x"), StatusCode::kSharingViolation, "write" + what);
    ExpectCode(g_fs.Remove(held), StatusCode::kSharingViolation, "remove" + what);
    holder.Close();
    Expect(Read(held) == "c" && !g_fs.FileExists(dst + "\\c.dvb"), "intact:" + what);
  }
  Expect(List(dst) == (Names{"a.dvb", names[0], names[1], names[2]}), "no temporary left");
}

void CheckSameFolder(const std::string& root, const std::string& deep) {
  const std::string ab = MakeFolder(MakeFolder(root + "\\Abc") + "\\Def");
  Write(ab + "\\f.txt", "f");
  const struct {
    std::string a, b;
    bool same;
  } cases[] = {
      {ab, root + "\\ABC\\dEF\\", true},
      {ab, root + "/Abc//Def", true},
      {ab, root + "\\Abc\\.\\..\\abc\\def", true},
      {deep, deep + "\\x\\..", true},
      {ab, root + "\\Abc", false},
      {ab + "\\f.txt", ab + "\\f.txt", false},
      {root + "\\none", root + "\\none", false},
  };
  for (const auto& c : cases) {
    Expect(g_fs.SameFolder(c.a, c.b) == c.same && g_fs.SameFolder(c.b, c.a) == c.same,
           "SameFolder(" + c.a + ", " + c.b + ") should be " + (c.same ? "true" : "false"));
  }
}

// Runs a copy of this program from `folder`: the folder the copy reports for itself.
std::optional<std::string> ApplicationPathFrom(const std::string& folder) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::string prefix = folder.back() == '\\' ? folder : folder + "\\";
  const std::wstring copy = Wide(prefix + "platform_check.exe");
  const std::wstring report = Wide(prefix + "reported.txt");
  std::wstring command = L"\"" + copy + L"\" --application-path \"" + report + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CopyFileW(self, copy.c_str(), FALSE) ||
      !CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    std::printf("cannot run a copy in %s (error %lu)\n", folder.c_str(), GetLastError());
    return std::nullopt;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  WaitForSingleObject(process.get(), 60'000);
  return Read(Utf8(report));
}

void CheckSystem(const std::string& root) {
  Win32System system;
  const std::uint32_t needed = system.GetSystemDirectoryA(nullptr, 0);
  char buffer[MAX_PATH * 2] = {};
  Expect(needed > 3 && needed < sizeof buffer, "size query names a size");
  Expect(system.GetSystemDirectoryA(buffer, needed - 1) == needed, "too small: the size again");
  Expect(system.GetSystemDirectoryA(buffer, needed) == needed - 1, "big enough: the length");
  wchar_t wide[MAX_PATH * 2];
  const UINT wide_length = GetSystemDirectoryW(wide, MAX_PATH * 2);
  Expect(system.AnsiCodePage().ToUtf8(buffer) == Utf8(std::wstring_view(wide, wide_length)),
         "the ANSI system folder decodes to the wide one");

  // The longest program path the system starts (MAX_PATH - 1: Wine, like Windows without
  // long-path support, refuses longer ones), with names outside the code page on the way.
  std::string folder = root + "\\\u30c4\u30fc\u30eb-\U0001F527-";
  const std::size_t used = Wide(folder).size() + std::string_view("\\platform_check.exe").size();
  folder = MakeFolder(folder + std::string(MAX_PATH - 1 - used, 'x'));
  Expect(ApplicationPathFrom(folder) == folder, "ApplicationPath at MAX_PATH - 1");
}

// Rows apply where the system's ANSI code page is `code_page`; 65001 rows always, on a UTF-8
// code page made for them. For an encoding, `ansi` null means refused, naming `named`.
struct Row {
  unsigned code_page;
  const char* utf8;
  const char* ansi;
  const char* named;
};
constexpr Row kEncodings[] = {
    {932, "\u65e5\u672c\u8a9e", "\x93\xFA\x96\x7B\x8C\xEA", nullptr},
    {932, "\u30bd\\", "\x83\x5C\\", nullptr},  // a trail byte of 0x5C
    {932, "\u20ac", nullptr, "U+20AC"},
    {932, "x\u00a5", nullptr, "U+00A5"},  // would be stored as '\'
    {932, "caf\u00e9", nullptr, "U+00E9"},
    {932, "\U0001F527", nullptr, "U+1F527"},
    {1252, "caf\u00e9 \u20ac", "caf\xE9 \x80", nullptr},
    {1252, "\u30c4", nullptr, "U+30C4"},
    {1252, "A\u0100", nullptr, "U+0100"},  // would be stored as 'A'
    {65001, "\U0001F527", "\xF0\x9F\x94\xA7", nullptr},
    {65001, "ok\xC3", nullptr, "0xC3"},
};
// Each byte that starts no character comes back as one U+FFFD.
constexpr Row kBadBytes[] = {
    {932, "\x81 x", "\uFFFD x", nullptr},
    {932, "A\x81", "A\uFFFD", nullptr},
    {932, "\x85\x40", "\uFFFD@", nullptr},  // a row the code page leaves empty
    {932, "\x93\xFA\xFF\xB1", "\u65e5\uFFFD\uff71", nullptr},
    {65001, "a\xFF\xC3", "a\uFFFD\uFFFD", nullptr},
};

void CheckCodePage(const CodePage& system_code_page) {
  const Win32CodePage utf8_code_page(CP_UTF8);
  const unsigned acp = GetACP();
  std::printf("ANSI code page %u\n", acp);
  const auto applies = [&](const Row& row) -> const CodePage* {
    if (row.code_page == CP_UTF8) return &utf8_code_page;
    return row.code_page == acp ? &system_code_page : nullptr;
  };
  for (const Row& e : kEncodings) {
    const CodePage* code_page = applies(e);
    if (code_page == nullptr) continue;
    std::string ansi = "before";
    const Status status = code_page->FromUtf8(e.utf8, ansi);
    if (e.ansi != nullptr) {
      Expect(status.ok() && ansi == e.ansi, std::string("encode ") + e.utf8);
      Expect(code_page->ToUtf8(e.ansi) == e.utf8, std::string("decode ") + e.utf8);
    } else {
      Expect(status.code() == StatusCode::kOther &&
                 status.message().find(e.named) != std::string::npos && ansi == "before",
             std::string("refuse ") + e.named + " [" + status.message() + "]");
    }
  }
  for (const Row& row : kBadBytes) {
    const CodePage* code_page = applies(row);
    if (code_page != nullptr) Expect(code_page->ToUtf8(row.utf8) == row.ansi, row.ansi);
  }
  for (int byte = 0; byte < 256; ++byte) {
    const bool lead =
        acp == 932 && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
    Expect(system_code_page.IsLeadByte(static_cast<unsigned char>(byte)) == lead,
           "IsLeadByte(" + std::to_string(byte) + ")");
  }
}

int Run(const std::string& other_drive) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD temp_length = GetTempPathW(MAX_PATH + 1, temp);
  const std::string root = Utf8(std::wstring_view(temp, temp_length)) + "platform-check-" +
                           std::to_string(GetTickCount64());
  if (!g_fs.MakeFolder(root).ok()) {
    std::printf("FAIL: cannot make %s\n", root.c_str());
    return 1;
  }
  // Deeper than MAX_PATH, with names outside the code page on the way.
  std::string deep = root;
  while (deep.size() < 2 * MAX_PATH) deep = MakeFolder(deep + "\\\u30c4\u30fc\u30eb-\U0001F527");

  CheckBytes(root);
  CheckBytes(deep);
  CheckListAndMove(MakeFolder(root + "\\src"), MakeFolder(root + "\\dst"));
  CheckListAndMove(MakeFolder(deep + "\\src"), MakeFolder(deep + "\\dst"));
  CheckSameFolder(root, deep);
  CheckSystem(root);
  CheckCodePage(Win32System().AnsiCodePage());
  if (!other_drive.empty()) {
    // Its empty root is the one folder without "." and "..", and a move there must copy.
    const std::string drive_root = other_drive + "\\";
    CheckListAndMove(MakeFolder(root + "\\to-other-volume"), drive_root);
    Expect(ApplicationPathFrom(drive_root) == drive_root, "ApplicationPath at a drive root");
  }
  std::printf("%d of %d checks failed\n", g_failures, g_checks);
  return g_failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace setup::win32

int wmain(int argc, wchar_t** argv) {
  using namespace setup::win32;
  if (argc == 3 && std::wstring_view(argv[1]) == L"--application-path") {
    std::string folder;
    const bool ok =
        Win32System().ApplicationPath(folder).ok() && StoreFile(Utf8(argv[2]), folder).ok();
    return ok ? 0 : 1;
  }
  return Run(argc == 2 ? Utf8(argv[1]) : std::string());
}
