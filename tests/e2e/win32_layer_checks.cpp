// The Win32 platform layer against a real system (Wine in CI), in scratch folders under %TEMP%,
// left for the caller to remove: what the native tests take as given of
// Windows (the rules their in-memory file system keeps) is checked here on the real calls.

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_file_system.h"
#include "setup/platform/win32/win32_system.h"

namespace e2e {
std::string Dacl(const std::filesystem::path& path);
bool SetDacl(const std::filesystem::path& path, const wchar_t* dacl);
}  // namespace e2e

namespace setup::win32 {
namespace {

using Names = std::vector<std::string>;
std::function<bool(bool, const std::string&)> Expect;
Win32FileSystem g_fs;

std::optional<std::string> Read(const std::string& path) {
  std::unique_ptr<ReadableFile> file;
  if (!g_fs.OpenForReading(path, file).ok()) return std::nullopt;
  std::string bytes;
  char buffer[64 * 1024];
  for (std::size_t got = 1; got != 0; bytes.append(buffer, got)) {
    if (!file->Read(buffer, got).ok()) return std::nullopt;
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
  Expect(Read(path) == bytes, "bytes read back as written");
  std::unique_ptr<WritableFile> again;
  Expect(
      g_fs.OpenForWriting(path, again).code() == StatusCode::kAlreadyExists && Read(path) == bytes,
      "writing makes a new file or none");
}

// `src` is an empty folder.
void CheckListAndRules(const std::string& src) {
  // Japanese, a letter code page 932 lacks, and a character no ANSI code page holds.
  const Names names = {"caf\u00e9.mns", "\u30c4\u30fc\u30eb.dvb", "\U0001F527.bmp"};
  for (const std::string& name : names) Write(src + "\\" + name, name, /*read_only=*/true);
  for (DWORD mark : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
    const std::string path = src + "\\marked" + std::to_string(mark) + ".dvb";
    Write(path, "m");
    SetFileAttributesW(Wide(path).c_str(), mark);
  }
  MakeFolder(src + "\\folder.dvb");
  Names listed;
  Expect(g_fs.ListFiles(src, listed).ok() && (std::ranges::sort(listed), listed == names),
         "only the plain files are listed");
  const std::string read_only = src + "\\" + names[0];
  Expect(g_fs.Inspect(read_only).read_only &&
             (GetFileAttributesW(Wide(read_only).c_str()) & FILE_ATTRIBUTE_READONLY) != 0,
         "SetReadOnly sets the attribute");
}

// A file moved into a folder takes what the folder gives a file made there, dropping what it
// brought: here a protected DACL that denies everyone reading.
void CheckInheritPermissions(const std::string& folder) {
  const std::string moved = folder + "\\moved.dvb", made = folder + "\\made.dvb";
  Write(moved, "moved");
  Write(made, "made");
  const std::string given = e2e::Dacl(Wide(made));
  const bool denied = e2e::SetDacl(Wide(moved), L"D:P(D;;GR;;;WD)");
  const std::string brought = e2e::Dacl(Wide(moved));
  Expect(denied && brought != given, "everyone denied reading " + moved + ": " + brought);
  const bool reset = g_fs.InheritPermissions(moved).ok();
  const std::string got = e2e::Dacl(Wide(moved));
  Expect(reset && got == given, "InheritPermissions gave " + got + ", a new file has " + given);
}

// A second name of a file (a hard link, which Wine makes as Windows does) is neither read, copied
// nor re-permissioned, nor taken for a plain file.
void CheckLinks(const std::string& folder) {
  const std::string file = folder + "\\file.dvb", link = folder + "\\link.dvb";
  Write(file, "someone else's");
  std::unique_ptr<ReadableFile> read;
  Expect(CreateHardLinkW(Wide(link).c_str(), Wide(file).c_str(), nullptr) &&
             g_fs.Inspect(link).kind == EntryKind::kNotPlain &&
             g_fs.OpenForReading(link, read).code() == StatusCode::kOther &&
             g_fs.CopyToNewFile(link, folder + "\\copy.dvb").code() == StatusCode::kOther &&
             g_fs.InheritPermissions(link).code() == StatusCode::kOther &&
             g_fs.Inspect(folder + "\\copy.dvb").kind == EntryKind::kNone,
         "a file of two names is a link, and refused");
}

// While held, the folder cannot be renamed, by this process or another (Wine, like Windows,
// keeps share modes per handle), nor emptied, which a link in its place needs; let go, it can,
// and it is as it was.
void CheckHeldFolder(const std::string& folder) {
  const std::wstring from = Wide(folder), to = Wide(folder + "-renamed");
  std::unique_ptr<FolderHold> hold;
  Expect(g_fs.HoldFolder(folder, hold).ok(), "hold " + folder);
  Expect(!MoveFileExW(from.c_str(), to.c_str(), 0) && GetLastError() == ERROR_SHARING_VIOLATION,
         "a held folder is not renamed");
  std::wstring name;  // the hold's own file
  std::error_code e;
  for (const auto& entry : std::filesystem::directory_iterator(from, e))
    name = entry.path().filename().wstring();
  std::vector<std::string> listed;
  // Never emptied, it cannot be made a junction or link in its place.
  Expect(!name.empty() && !DeleteFileW((from + L"\\" + name).c_str()) &&
             g_fs.ListFiles(folder, listed).ok() && listed.empty(),
         "a held folder keeps a file nobody removes and no listing shows");
  hold.reset();
  Expect(MoveFileExW(from.c_str(), to.c_str(), 0) && RemoveDirectoryW(to.c_str()),
         "a folder let go is renamed, and empty");
}

// A row of the ANSI code page: `ansi` null when the text must be refused.
struct Row {
  unsigned code_page;
  const char *utf8, *ansi;
};
constexpr Row kEncodings[] = {
    {932, "\u65e5\u672c\u8a9e", "\x93\xFA\x96\x7B\x8C\xEA"},
    {932, "\u30bd\\", "\x83\x5C\\"},  // a trail byte of 0x5C
    {932, "x\u00a5", nullptr},        // would be stored as '\'
    {1252, "caf\u00e9 \u20ac", "caf\xE9 \x80"},
    {1252, "A\u0100", nullptr},  // would be stored as 'A'
};

void CheckCodePage() {
  const Win32System system;
  const CodePage& code_page = system.AnsiCodePage();
  for (const Row& e : kEncodings) {
    if (e.code_page != GetACP()) continue;
    std::string ansi = "before";
    const Status s = code_page.FromUtf8(e.utf8, ansi);
    Expect(e.ansi ? s.ok() && ansi == e.ansi && code_page.ToUtf8(e.ansi) == e.utf8
                  : !s.ok() && ansi == "before",
           std::string("encode ") + e.utf8 + " [" + s.message() + "]");
  }
}

}  // namespace

// `expect` takes each check's outcome.
void CheckPlatform(const std::function<bool(bool, const std::string&)>& expect) {
  Expect = expect;
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  const std::string root = MakeFolder(Utf8(std::wstring_view(temp, length)) + "platform-check-" +
                                      std::to_string(GetTickCount64()));
  // Deeper than MAX_PATH, with names outside the code page on the way.
  std::string deep = root;
  while (deep.size() < 2 * MAX_PATH) deep = MakeFolder(deep + "\\\u30c4\u30fc\u30eb-\U0001F527");
  CheckBytes(deep);
  CheckListAndRules(MakeFolder(root + "\\src"));
  Expect(g_fs.SameFolder(deep, root + "/" + deep.substr(root.size() + 1) + "\\.\\") &&
             !g_fs.SameFolder(deep, root),
         "SameFolder by identity, not by spelling");
  CheckInheritPermissions(root);
  CheckHeldFolder(MakeFolder(root + "\\held"));
  CheckLinks(MakeFolder(root + "\\links"));
  CheckCodePage();
}

}  // namespace setup::win32
