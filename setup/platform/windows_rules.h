#pragma once
// What Windows' answers about a file mean, decided here rather than in the Win32 layer, which only
// asks: Windows puts things in the folders users click in (OneDrive's files, compressed files, a
// USB stick's volume) that no test system has, so each decision is proven on its own.

#include <cstdint>
#include <optional>
#include <string_view>

#include "setup/platform/file_system.h"

namespace setup::windows_rules {

// The file attributes that decide what an entry is (FILE_ATTRIBUTE_*).
inline constexpr std::uint32_t kDirectory = 0x10, kDevice = 0x40, kReparsePoint = 0x400;
// A reparse tag with this bit leads to another name: a symbolic link, a junction, a WSL link.
// Without it the tag mostly belongs to a filter that serves the file's own data (OneDrive,
// compression, deduplication); a few stand for what has no data to read (a socket, a WSL device
// or pipe, an app's execution alias, a file of an NFS share).
inline constexpr std::uint32_t kNameSurrogate = 0x20000000;

// What the system says of one entry, through a handle on the entry itself.
struct EntryFacts {
  std::uint32_t attributes = 0;
  // The reparse tag, when the attributes carry the reparse point; none when it could not be read.
  std::optional<std::uint32_t> tag;
  std::uint32_t names = 1;  // hard links to it
};

struct EntryMeaning {
  EntryKind kind = EntryKind::kUnknown;
  // A filter serves the file's data: it is read through a handle opened without
  // FILE_FLAG_OPEN_REPARSE_POINT, or the filter is bypassed (an online-only file reads as holes).
  bool served_by_filter = false;
};

// A reparse point is a link only with the name-surrogate bit, or where its tag cannot be read or
// is 0 (how Wine answers for its links). A file of more names is no plain file either, nor one of
// the tags without data.
EntryMeaning Meaning(const EntryFacts& facts);

// Whether a file made by its path in a folder held by its handle landed in that very folder, not
// wherever the folder's path led meanwhile: by the names the system gives both handles (one source,
// so that they cannot disagree, as file numbers from a listing and from a handle may on FAT, exFAT
// and ReFS). Without names, only the folder's volume vouches for it: when it supports no reparse
// points, where no folder can have become a link, and the file is on it.
bool LandedIn(std::optional<std::string_view> folder_name,
              std::optional<std::string_view> file_name, std::string_view leaf,
              bool volume_has_links, bool same_volume);

}  // namespace setup::windows_rules
