// The Win32 platform layer against a real system (Wine in CI), in a scratch folder under %TEMP%
// that it leaves for the caller to remove: one line per failed check, then a summary; exit status
// 1 on any failure. Placing files runs the program's own PlaceFile over the real file system,
// with the Windows rule Wine does not keep (no rename over a read-only file) checked on the way.
//
//   platform_check.exe X:   X: an empty drive on another volume than %TEMP%, with a link "link"
//                           to a folder at its root made by the caller
//   platform_check.exe --application-path <file>   writes the program's folder to <file>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "setup/install/placement.h"
#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_code_page.h"
#include "setup/platform/win32/win32_file_system.h"
#include "setup/platform/win32/win32_system.h"

namespace setup::win32 {
namespace {

using Names = std::vector<std::string>;
int g_checks = 0, g_failures = 0;

void Expect(bool ok, const std::string& what) {
  ++g_checks;
  if (!ok) ++g_failures, std::printf("FAIL: %s\n", what.c_str());
}

void ExpectCode(const Status& status, StatusCode code, const std::string& what) {
  Expect(status.code() == code, what + " [" + (status.ok() ? "ok" : status.message()) + "]");
}

// For calls of the system's own: long paths need the "\\?\" form on Windows.
std::wstring Raw(const std::string& path) {
  return path.size() < std::size_t{MAX_PATH - 12} ? Wide(path) : L"\\\\?\\" + Wide(path);
}

// Windows refuses to rename over a read-only file; Wine does not, so the check does.
class WindowsRules final : public FileSystem {
 public:
  Status OpenForReading(const std::string& p, std::unique_ptr<ReadableFile>& f) override {
    return real.OpenForReading(p, f);
  }
  Status OpenForWriting(const std::string& p, std::unique_ptr<WritableFile>& f) override {
    return real.OpenForWriting(p, f);
  }
  Status MakeFolder(const std::string& p) override { return real.MakeFolder(p); }
  Status ListFiles(const std::string& p, Names& n) override { return real.ListFiles(p, n); }
  Entry Inspect(const std::string& p) override { return real.Inspect(p); }
  Status Remove(const std::string& p) override { return real.Remove(p); }
  Status Rename(const std::string& from, const std::string& to, bool replace) override {
    const DWORD attributes = GetFileAttributesW(Raw(to).c_str());
    if (replace && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      return Status::Error(StatusCode::kAccessDenied, "rename over read-only " + to);
    }
    return real.Rename(from, to, replace);
  }
  Status CopyToNewFile(const std::string& f, const std::string& t) override {
    return real.CopyToNewFile(f, t);
  }
  Status SetReadOnly(const std::string& p, bool r) override { return real.SetReadOnly(p, r); }
  bool SameFolder(const std::string& a, const std::string& b) override {
    return real.SameFolder(a, b);
  }
  Win32FileSystem real;
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
  ExpectCode(s, StatusCode::kOk, "write " + path);
}

std::string MakeFolder(const std::string& path) {
  ExpectCode(g_fs.MakeFolder(path), StatusCode::kOk, "make folder " + path);
  return path;
}

bool ReadOnly(const std::string& path) {
  return (GetFileAttributesW(Raw(path).c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
}

// Every byte value, CR and LF alone, and enough for several reads; the flushed close.
void CheckBytes(const std::string& folder) {
  std::string bytes = "\r\n\n\r";
  for (int i = 0; bytes.size() < 300'000; ++i) bytes.push_back(static_cast<char>(i));
  const std::string path = folder + "\\bytes.bin";
  Write(path, bytes);
  int reads = 0;
  Expect(Read(path, &reads) == bytes && reads == 6, "bytes read back as written, in 5 pieces");
  Write(path, "short");
  Expect(Read(path) == "short", "a second write truncates");
  // An editor holding the template open for writing, sharing reading, does not keep it from us.
  UniqueHandle editor(CreateFileW(Raw(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
  Expect(editor.valid() && Read(path) == "short", "read while an editor holds it for writing");
  editor.Close();
  std::unique_ptr<WritableFile> open;
  ExpectCode(g_fs.OpenForWriting(path, open), StatusCode::kOk, "open for writing");
  std::unique_ptr<ReadableFile> reader;
  ExpectCode(g_fs.OpenForReading(path, reader), StatusCode::kSharingViolation, "read while ours");
  open.reset();
  ExpectCode(g_fs.OpenForReading(folder, reader), StatusCode::kAccessDenied, "open a folder");
  ExpectCode(g_fs.OpenForReading(path + "x", reader), StatusCode::kNotFound, "open missing");
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
  ExpectCode(g_fs.ListFiles(src, listed), StatusCode::kOk, "list");
  std::ranges::sort(listed);
  Expect(listed == names, "only the plain files are listed");
  Expect(g_fs.Inspect(src + "\\" + names[0]).read_only && ReadOnly(src + "\\" + names[0]),
         "SetReadOnly sets the attribute");
  ExpectCode(g_fs.Remove(src + "\\" + names[0]), StatusCode::kAccessDenied, "remove read-only");
  Write(src + "\\probe", "p");
  ExpectCode(g_fs.Rename(src + "\\probe", dst + "\\probe", false),
             src[0] == dst[0] ? StatusCode::kOk : StatusCode::kNotSameVolume, "rename");
  (void)g_fs.Remove(src + "\\probe"), (void)g_fs.Remove(dst + "\\probe");

  // Read-only sources placed, then placed again over their read-only copies.
  for (int round = 0; round < 2; ++round) {
    for (const std::string& name : names) {
      if (round == 1) Write(src + "\\" + name, "again " + name, true);
      ExpectCode(PlaceFile(g_fs, src + "\\" + name, dst + "\\" + name, true), StatusCode::kOk,
                 "place " + name);
      Expect(Read(dst + "\\" + name) == (round ? "again " : "") + name && !Read(src + "\\" + name),
             "placed whole, source gone: " + name);
      if (round == 0)
        ExpectCode(g_fs.SetReadOnly(dst + "\\" + name, true), StatusCode::kOk, "mark");
    }
  }
  Write(src + "\\a.dvb", "new");
  Write(dst + "\\a.dvb", "old", true);
  ExpectCode(PlaceFile(g_fs, src + "\\a.dvb", dst + "\\a.dvb", false), StatusCode::kAlreadyExists,
             "place without replacing");
  // Held open by another program: the replacement fails, the old copy keeps its mark.
  UniqueHandle holder(CreateFileW(Raw(dst + "\\a.dvb").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
  Expect(!PlaceFile(g_fs, src + "\\a.dvb", dst + "\\a.dvb", true).ok(), "place over a held file");
  holder.Close();
  Expect(
      Read(src + "\\a.dvb") == "new" && Read(dst + "\\a.dvb") == "old" && ReadOnly(dst + "\\a.dvb"),
      "a failed replacement keeps both files and the mark");
  listed.clear();
  (void)g_fs.ListFiles(dst, listed);
  Expect(listed.size() == names.size() + 1, "no temporary copy left in " + dst);
}

void CheckFolders(const std::string& root, const std::string& other) {
  const std::string ab = MakeFolder(MakeFolder(root + "\\Abc") + "\\Def");
  Expect(g_fs.SameFolder(ab, root + "/ABC//dEF\\.\\") && !g_fs.SameFolder(ab, root + "\\Abc"),
         "SameFolder by identity, not by spelling");
  Expect(g_fs.Inspect(ab).kind == EntryKind::kFolder, "a folder is a folder");
  if (!other.empty()) {
    Expect(g_fs.Inspect(other + "\\link").kind == EntryKind::kLink, "a symbolic link is a link");
  }
}

// Runs a copy of this program from `folder`: the folder the copy reports for itself.
std::optional<std::string> ApplicationPathFrom(const std::string& folder) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring copy = Wide(folder + "platform_check.exe");
  std::wstring command = L"\"" + copy + L"\" --application-path \"" + Wide(folder) + L"r.txt\"";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION info{};
  if (!CopyFileW(self, copy.c_str(), FALSE) ||
      !CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return std::nullopt;
  }
  UniqueHandle process(info.hProcess), thread(info.hThread);
  WaitForSingleObject(process.get(), 60'000);
  return Read(folder + "r.txt");
}

// For an encoding, `ansi` null means refused, naming `named`.
struct Row {
  unsigned code_page;
  const char *utf8, *ansi, *named;
};
constexpr Row kEncodings[] = {
    {932, "\u65e5\u672c\u8a9e", "\x93\xFA\x96\x7B\x8C\xEA", nullptr},
    {932, "\u30bd\\", "\x83\x5C\\", nullptr},  // a trail byte of 0x5C
    {932, "x\u00a5", nullptr, "U+00A5"},       // would be stored as '\'
    {932, "\U0001F527", nullptr, "U+1F527"},
    {1252, "caf\u00e9 \u20ac", "caf\xE9 \x80", nullptr},
    {1252, "A\u0100", nullptr, "U+0100"},  // would be stored as 'A'
};

void CheckSystem() {
  Win32System system;
  const unsigned acp = GetACP();
  std::printf("ANSI code page %u\n", acp);
  for (const Row& e : kEncodings) {
    if (e.code_page != acp) continue;
    std::string ansi = "before";
    const Status status = system.AnsiCodePage().FromUtf8(e.utf8, ansi);
    Expect(e.ansi ? status.ok() && ansi == e.ansi && system.AnsiCodePage().ToUtf8(e.ansi) == e.utf8
                  : status.message().find(e.named) != std::string::npos && ansi == "before",
           std::string("encode ") + e.utf8 + " [" + status.message() + "]");
  }
  for (int byte = 0; byte < 256; ++byte) {
    const bool lead =
        acp == 932 && ((byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0) && byte <= 0xFC;
    Expect(system.AnsiCodePage().IsLeadByte(static_cast<unsigned char>(byte)) == lead,
           "IsLeadByte(" + std::to_string(byte) + ")");
  }
  const std::uint32_t needed = system.GetSystemDirectoryA(nullptr, 0);
  char buffer[MAX_PATH * 2] = {};
  Expect(needed > 3 && needed < sizeof buffer &&
             system.GetSystemDirectoryA(buffer, needed) == needed - 1,
         "GetSystemDirectoryA: the size, then the length");
}

int Run(const std::string& other) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  const std::string root = MakeFolder(Utf8(std::wstring_view(temp, length)) + "platform-check-" +
                                      std::to_string(GetTickCount64()));
  // Deeper than MAX_PATH, with names outside the code page on the way.
  std::string deep = root;
  while (deep.size() < 2 * MAX_PATH) deep = MakeFolder(deep + "\\\u30c4\u30fc\u30eb-\U0001F527");
  CheckBytes(deep);
  CheckListAndPlace(MakeFolder(root + "\\src"), MakeFolder(deep + "\\dst"));
  CheckListAndPlace(MakeFolder(root + "\\to-other"), other + "\\");
  CheckFolders(root, other);
  CheckSystem();
  // The root of a drive keeps its backslash.
  Expect(ApplicationPathFrom(other + "\\") == other + "\\", "ApplicationPath at a drive root");
  std::printf("%d of %d checks failed\n", g_failures, g_checks);
  return g_failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace setup::win32

int wmain(int argc, wchar_t** argv) {
  using namespace setup::win32;
  if (argc == 3 && std::wstring_view(argv[1]) == L"--application-path") {
    std::string folder;
    if (!Win32System().ApplicationPath(folder).ok()) return 1;
    Write(Utf8(argv[2]), folder);
    return g_failures;
  }
  return argc == 2 ? Run(Utf8(argv[1])) : 2;
}
