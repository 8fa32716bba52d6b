// The Win32 platform layer against a real system (Wine in CI), in scratch folders under %TEMP%
// and on another volume, left for the caller to remove. Files are placed by the program's own
// PlaceFile over the real file system, with the Windows rule Wine does not keep (no rename over
// a read-only file) kept by the check.

#include <windows.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "setup/install/placement.h"
#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_file_system.h"
#include "setup/platform/win32/win32_system.h"

namespace setup::win32 {
namespace {

using Names = std::vector<std::string>;
std::function<bool(bool, const std::string&)> Expect;

// For calls of the system's own: long paths need the "\\?\" form on Windows.
std::wstring Raw(const std::string& path) {
  return path.size() < std::size_t{MAX_PATH - 12} ? Wide(path) : L"\\\\?\\" + Wide(path);
}

bool ReadOnly(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Raw(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// The real file system, but that it refuses to rename over a read-only file, as Windows does.
struct WindowsRules final : Win32FileSystem {
  Status Rename(const std::string& from, const std::string& to, bool replace) override {
    if (replace && ReadOnly(to)) return Status::Error(StatusCode::kAccessDenied, "read-only " + to);
    return Win32FileSystem::Rename(from, to, replace);
  }
} g_fs;

std::optional<std::string> Read(const std::string& path, int* reads = nullptr) {
  std::unique_ptr<ReadableFile> file;
  if (!g_fs.OpenForReading(path, file).ok()) return std::nullopt;
  std::string bytes;
  char buffer[64 * 1024];
  for (std::size_t got = 1; got != 0; bytes.append(buffer, got)) {
    if (!file->Read(buffer, got).ok()) return std::nullopt;
    if (reads != nullptr) ++*reads;
  }
  return bytes;
}

void Write(const std::string& path, std::string_view bytes, bool read_only = false) {
  std::unique_ptr<WritableFile> file;
  Status s = g_fs.OpenForWriting(path, file);
  for (std::size_t at = 0; s.ok() && at < bytes.size(); at += 100'000) {
    s = file->Append(bytes.substr(at, 100'000));
  }
  if (s.ok()) s = file->Close();
  if (s.ok() && read_only) s = g_fs.SetReadOnly(path, true);
  Expect(s.ok(), "write " + path + " [" + s.message() + "]");
}

std::string MakeFolder(const std::string& path) {
  Expect(g_fs.MakeFolder(path).ok(), "make folder " + path);
  return path;
}

// Every byte value, CR and LF alone, and enough for several reads, in a folder deeper than
// MAX_PATH.
void CheckBytes(const std::string& folder) {
  std::string bytes = "\r\n\n\r";
  for (int i = 0; bytes.size() < 300'000; ++i) bytes.push_back(static_cast<char>(i));
  const std::string path = folder + "\\bytes.bin";
  Write(path, bytes);
  int reads = 0;
  Expect(Read(path, &reads) == bytes && reads == 6, "bytes read back as written, in 5 pieces");
  Write(path, "short");
  Expect(Read(path) == "short", "a second write truncates");
}

// `src` and `dst` are empty folders, on one volume or two.
void CheckListAndPlace(const std::string& src, const std::string& dst) {
  // Japanese, a letter code page 932 lacks, and a character no ANSI code page holds.
  const Names names = {"caf\u00e9.mns", "\u30c4\u30fc\u30eb.dvb", "\U0001F527.bmp"};
  for (const std::string& name : names) Write(src + "\\" + name, name, /*read_only=*/true);
  for (DWORD mark : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
    const std::string path = src + "\\marked" + std::to_string(mark) + ".dvb";
    Write(path, "m");
    SetFileAttributesW(Raw(path).c_str(), mark);
  }
  MakeFolder(src + "\\folder.dvb");
  Names listed;
  Expect(g_fs.ListFiles(src, listed).ok() && (std::ranges::sort(listed), listed == names),
         "only the plain files are listed");
  Expect(g_fs.Inspect(src + "\\" + names[0]).read_only && ReadOnly(src + "\\" + names[0]),
         "SetReadOnly sets the attribute");
  Expect(g_fs.Remove(src + "\\" + names[0]).code() == StatusCode::kAccessDenied,
         "a read-only file is not removed");
  Write(src + "\\probe", "p");
  const Status renamed = g_fs.Rename(src + "\\probe", dst + "\\probe", false);
  Expect(renamed.code() == (src[0] == dst[0] ? StatusCode::kOk : StatusCode::kNotSameVolume),
         "rename between folders [" + renamed.message() + "]");
  (void)g_fs.Remove(src + "\\probe"), (void)g_fs.Remove(dst + "\\probe");

  // Read-only sources placed, then placed again over their copies, marked read-only.
  for (int round = 0; round < 2; ++round) {
    for (const std::string& name : names) {
      if (round == 1) Write(src + "\\" + name, "again " + name, true);
      const Status placed = PlaceFile(g_fs, src + "\\" + name, dst + "\\" + name, true);
      Expect(placed.ok() && Read(dst + "\\" + name) == (round ? "again " : "") + name &&
                 !Read(src + "\\" + name),
             "placed whole, source gone: " + name + " [" + placed.message() + "]");
      Expect(g_fs.SetReadOnly(dst + "\\" + name, true).ok(), "mark " + name);
    }
  }
  listed.clear();
  Expect(g_fs.ListFiles(dst, listed).ok() && listed.size() == names.size(),
         "no temporary copy left in " + dst);
}

// A row of the ANSI code page: `ansi` null when the text must be refused, naming `named`.
struct Row {
  unsigned code_page;
  const char *utf8, *ansi, *named;
};
constexpr Row kEncodings[] = {
    {932, "\u65e5\u672c\u8a9e", "\x93\xFA\x96\x7B\x8C\xEA", nullptr},
    {932, "\u30bd\\", "\x83\x5C\\", nullptr},  // a trail byte of 0x5C
    {932, "x\u00a5", nullptr, "U+00A5"},       // would be stored as '\'
    {1252, "caf\u00e9 \u20ac", "caf\xE9 \x80", nullptr},
    {1252, "A\u0100", nullptr, "U+0100"},  // would be stored as 'A'
    {1252, "\U0001F527", nullptr, "U+1F527"},
    {932, "a\xC3", nullptr, "byte 0xC3"},  // not UTF-8
};

void CheckCodePage() {
  const Win32System system;
  const CodePage& code_page = system.AnsiCodePage();
  const unsigned acp = GetACP();
  for (const Row& e : kEncodings) {
    std::string ansi = "before";
    const Status s = e.code_page == acp ? code_page.FromUtf8(e.utf8, ansi) : Status();
    Expect(e.code_page != acp ||
               (e.ansi ? s.ok() && ansi == e.ansi && code_page.ToUtf8(e.ansi) == e.utf8
                       : s.message().find(e.named) != std::string::npos),
           std::string("encode ") + e.utf8 + " [" + s.message() + "]");
  }
  for (int b = 0; b < 256; ++b) {
    const bool lead = acp == 932 && ((b >= 0x81 && b <= 0x9F) || b >= 0xE0) && b <= 0xFC;
    Expect(code_page.IsLeadByte(static_cast<unsigned char>(b)) == lead,
           "IsLeadByte " + std::to_string(b));
  }
}

}  // namespace

// `other`: a folder on another volume than %TEMP%; `expect` takes each check's outcome.
void CheckPlatform(const std::function<bool(bool, const std::string&)>& expect,
                   const std::string& other) {
  Expect = expect;
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  const std::string root = MakeFolder(Utf8(std::wstring_view(temp, length)) + "platform-check-" +
                                      std::to_string(GetTickCount64()));
  // Deeper than MAX_PATH, with names outside the code page on the way.
  std::string deep = root;
  while (deep.size() < 2 * MAX_PATH) deep = MakeFolder(deep + "\\\u30c4\u30fc\u30eb-\U0001F527");
  CheckBytes(deep);
  CheckListAndPlace(MakeFolder(root + "\\src"), MakeFolder(deep + "\\dst"));
  CheckListAndPlace(MakeFolder(root + "\\to-other"), MakeFolder(other));
  Expect(g_fs.SameFolder(deep, root + "/" + deep.substr(root.size() + 1) + "\\.\\") &&
             !g_fs.SameFolder(deep, root),
         "SameFolder by identity, not by spelling");
  CheckCodePage();
}

}  // namespace setup::win32
