// What Windows' answers mean, with the tags and names real systems give: the folders users click in
// hold OneDrive's files, compressed and deduplicated ones and USB sticks, which Wine has none of.

#include "setup/platform/windows_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace setup::windows_rules {
namespace {

constexpr std::uint32_t kFile = 0x20, kFolder = kDirectory, kReadOnly = 0x1;
constexpr std::uint32_t kRecallOnDataAccess = 0x400000;  // an online-only OneDrive file

struct Row {
  const char* what;
  std::uint32_t attributes;
  std::optional<std::uint32_t> tag;
  std::uint32_t names;
  EntryKind kind;
  bool served;
};

TEST(WindowsRulesTest, OnlyNameSurrogatesAndUnreadableTagsAreLinks) {
  const EntryKind link = EntryKind::kNotPlain, file = EntryKind::kFile, folder = EntryKind::kFolder;
  const std::uint32_t reparse_file = kFile | kReparsePoint,
                      reparse_folder = kFolder | kReparsePoint;
  std::vector<Row> rows = {
      {"a plain file", kFile | kReadOnly, std::nullopt, 1, file, false},
      {"a plain folder", kFolder, std::nullopt, 1, folder, false},
      {"a device", 0x40, std::nullopt, 1, EntryKind::kOther, false},
      {"a hard link", kFile, std::nullopt, 2, link, false},
      {"a symbolic link to a file", reparse_file, 0xA000000C, 1, link, false},
      {"a symbolic link to a folder", reparse_folder, 0xA000000C, 1, link, false},
      {"a junction", reparse_folder, 0xA0000003, 1, link, false},
      {"a WSL link", reparse_file, 0xA000001D, 1, link, false},
      {"a file compact /exe compressed", reparse_file, 0x80000017, 1, file, true},
      {"a compressed file of two names", reparse_file, 0x80000017, 2, link, false},
      {"a deduplicated file", reparse_file, 0x80000013, 1, file, true},
      {"a third party's data tag", reparse_file, 0x0000ABCD, 1, file, true},
      {"a third party's name surrogate", reparse_file, 0x2000ABCD, 1, link, false},
      {"a reparse point of tag 0 (Wine's links)", reparse_folder, 0, 1, link, false},
      {"a reparse point whose tag cannot be read", reparse_file, std::nullopt, 1, link, false},
      // Tags without the bit that stand for what has no data to read.
      {"a socket", reparse_file, 0x80000023, 1, EntryKind::kOther, false},
      {"a WSL FIFO", reparse_file, 0x80000024, 1, EntryKind::kOther, false},
      {"a WSL block device", reparse_file, 0x80000026, 1, EntryKind::kOther, false},
      {"an app's execution alias", reparse_file, 0x8000001B, 1, EntryKind::kOther, false},
  };
  // OneDrive's sixteen tags, on files downloaded or online only and on folders.
  for (std::uint32_t n = 0; n < 16; ++n) {
    const std::uint32_t cloud = 0x9000001A | n << 12;
    rows.push_back({"a OneDrive file", reparse_file, cloud, 1, file, true});
    rows.push_back(
        {"an online-only OneDrive file", reparse_file | kRecallOnDataAccess, cloud, 1, file, true});
    rows.push_back({"a OneDrive folder", reparse_folder, cloud, 1, folder, true});
  }
  for (const Row& row : rows) {
    const EntryMeaning meaning = Meaning({row.attributes, row.tag, row.names});
    EXPECT_EQ(meaning.kind, row.kind) << row.what << " " << std::hex << row.tag.value_or(~0u);
    EXPECT_EQ(meaning.served_by_filter, row.served) << row.what;
  }
}

TEST(WindowsRulesTest, AnAnchorLandedInTheHeldFolderOnlyByItsName) {
  const std::string dist = R"(\Device\HarddiskVolume3\Users\kei\OneDrive\Desktop\dist)";
  const std::string leaf = ".~setup-hold1";
  struct Case {
    const char* what;
    std::optional<std::string> folder, anchor;
    bool volume_has_links, same_volume, landed;
  };
  const Case cases[] = {
      {"in the folder", dist, dist + "\\" + leaf, true, true, true},
      {"at a USB stick's root", R"(\Device\HarddiskVolume5\)", R"(\Device\HarddiskVolume5\)" + leaf,
       false, true, true},
      {"on a share", R"(\Device\Mup\srv\pkg\dist)", R"(\Device\Mup\srv\pkg\dist\)" + leaf, true,
       true, true},
      {"where a junction led", dist, R"(\Device\HarddiskVolume3\Windows\System32\)" + leaf, true,
       true, false},
      {"in a folder whose name starts the same", dist, dist + "2\\" + leaf, true, true, false},
      {"in the parent", dist, dist.substr(0, dist.rfind('\\') + 1) + leaf, true, true, false},
      {"in a sub-folder", dist, dist + "\\x\\" + leaf, true, true, false},
      {"another anchor", dist, dist + "\\.~setup-hold12", true, true, false},
      {"without names on FAT or exFAT", std::nullopt, std::nullopt, false, true, true},
      {"without names, the file on another volume", std::nullopt, std::nullopt, false, false,
       false},
      {"without the anchor's name on NTFS", dist, std::nullopt, true, true, false},
      {"without the folder's name on NTFS", std::nullopt, dist + "\\" + leaf, true, true, false},
  };
  for (const Case& c : cases) {
    const auto view = [](const std::optional<std::string>& name) {
      return name ? std::optional<std::string_view>(*name) : std::nullopt;
    };
    EXPECT_EQ(LandedIn(view(c.folder), view(c.anchor), leaf, c.volume_has_links, c.same_volume),
              c.landed)
        << c.what;
  }
}

}  // namespace
}  // namespace setup::windows_rules
