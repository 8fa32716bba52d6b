#include "setup/platform/windows_rules.h"

namespace setup::windows_rules {

EntryMeaning Meaning(const EntryFacts& facts) {
  const bool reparse = (facts.attributes & kReparsePoint) != 0;
  const bool link =
      reparse && (!facts.tag || *facts.tag == 0 || (*facts.tag & kNameSurrogate) != 0);
  if (link) return {EntryKind::kNotPlain};
  if ((facts.attributes & kDirectory) != 0) return {EntryKind::kFolder, reparse};
  if ((facts.attributes & kDevice) != 0) return {EntryKind::kOther};
  // Two names make another name of someone else's file, whatever serves its data.
  if (facts.names != 1) return {EntryKind::kNotPlain};
  return {EntryKind::kFile, reparse};
}

bool LandedIn(std::optional<std::string_view> folder_name,
              std::optional<std::string_view> file_name, std::string_view leaf,
              bool volume_has_links) {
  if (!folder_name || !file_name) return !volume_has_links;
  // A root's name ends in its separator, any other folder's does not.
  std::string_view folder = *folder_name;
  if (folder.ends_with('\\')) folder.remove_suffix(1);
  return file_name->size() == folder.size() + 1 + leaf.size() && file_name->starts_with(folder) &&
         (*file_name)[folder.size()] == '\\' && file_name->ends_with(leaf);
}

}  // namespace setup::windows_rules
