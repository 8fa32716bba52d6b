#pragma once
// The driver's own file handling on drive C: and the scenario folders, and the menu file a
// template should give, worked out without the installer's code.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

// Whole files by name, bytes as they are on disk.
using FileSet = std::map<std::string, std::string>;

std::optional<std::string> ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, std::string_view bytes);
bool Exists(const std::wstring& path);
// Plain files of a folder (hidden ones too) with their contents; nothing when it is missing.
std::optional<FileSet> ReadFolder(const std::wstring& folder);
// Removes the folder and everything in it; true when it is gone afterwards.
bool RemoveTree(const std::wstring& folder);
bool MakeFolder(const std::wstring& folder);

// Sets or clears the host's immutable flag on a folder (chattr, run through Wine), so that
// nothing in it can be created, renamed or removed, even by root. Returns once the host shows
// the change, false when it did not within a few seconds (no Wine, or a file system without
// the flag).
bool SetImmutable(const std::wstring& folder, bool on);

// ".dvb", ".bmp" or ".mns" in any case.
bool IsToolFile(std::string_view name);

// The menu file for `template_bytes`: each line, ended by CR LF, a lone CR or the end of the
// file, with every "xxxxx" that starts on a character boundary of the code page replaced by
// `folder`, then CR LF. Only code page 932 has double-byte characters among those we run.
std::string ExpectedMenu(std::string_view template_bytes, unsigned code_page,
                         std::string_view folder);

}  // namespace e2e
