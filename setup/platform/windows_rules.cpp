#include "setup/platform/windows_rules.h"

#include <algorithm>
#include <iterator>

namespace setup::windows_rules {

EntryMeaning Meaning(const EntryFacts& facts) {
  const bool reparse = (facts.attributes & kReparsePoint) != 0;
  const bool link =
      reparse && (!facts.tag || *facts.tag == 0 || (*facts.tag & kNameSurrogate) != 0);
  if (link) return {EntryKind::kNotPlain};
  if ((facts.attributes & kDirectory) != 0) return {EntryKind::kFolder, reparse};
  // A socket, a WSL FIFO, character or block device, an app's execution alias, an NFS share's file.
  constexpr std::uint32_t kWithoutData[] = {0x80000023, 0x80000024, 0x80000025,
                                            0x80000026, 0x8000001B, 0x80000014};
  if ((facts.attributes & kDevice) != 0 ||
      (reparse && std::ranges::find(kWithoutData, *facts.tag) != std::end(kWithoutData))) {
    return {EntryKind::kOther};
  }
  // Two names make another name of someone else's file, whatever serves its data.
  if (facts.names != 1) return {EntryKind::kNotPlain};
  return {EntryKind::kFile, reparse};
}

bool LandedIn(std::optional<std::string_view> folder_name,
              std::optional<std::string_view> file_name, std::string_view leaf,
              bool volume_has_links, bool same_volume) {
  if (!folder_name || !file_name) return !volume_has_links && same_volume;
  // A root's name ends in its separator, any other folder's does not.
  std::string_view folder = *folder_name;
  if (folder.ends_with('\\')) folder.remove_suffix(1);
  return file_name->size() == folder.size() + 1 + leaf.size() && file_name->starts_with(folder) &&
         (*file_name)[folder.size()] == '\\' && file_name->ends_with(leaf);
}

}  // namespace setup::windows_rules
