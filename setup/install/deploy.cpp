#include "setup/install/deploy.h"

#include <algorithm>

#include "setup/install/placement.h"
#include "setup/install/tool_menu.h"  // kMenuFileName

namespace setup {

namespace {

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

// Copies a killed run left beside their targets; nothing else is touched.
void RemoveTemporaryCopies(FileSystem& files, const std::string& folder) {
  std::vector<std::string> names;
  if (!files.ListFiles(folder, names).ok()) return;
  for (const std::string& name : names) {
    if (IsTemporaryCopy(name)) (void)RemoveFile(files, InFolder(folder, name));
  }
}

}  // namespace

ToolFileKind KindOf(std::string_view name) {
  if (name.size() < 4) return ToolFileKind::kNone;
  const std::string_view ending = name.substr(name.size() - 4);
  if (EqualsIgnoringCase(ending, ".dvb")) return ToolFileKind::kDvb;
  if (EqualsIgnoringCase(ending, ".bmp")) return ToolFileKind::kBmp;
  if (EqualsIgnoringCase(ending, ".mns")) return ToolFileKind::kMns;
  return ToolFileKind::kNone;
}

std::vector<std::string> DeployProgramFiles(FileSystem& files, const InstallLocations& locations) {
  // An existing folder is the reinstall case; one that cannot be made shows below.
  (void)files.MakeFolder(locations.InstallDir);

  std::vector<std::string> names;
  if (!files.ListFiles(locations.SourceDir, names).ok()) {
    // Which files there are is unknown, so say which kinds stayed behind.
    return {"*.dvb", "*.bmp", "*.mns"};
  }
  std::vector<std::string> dvb, bmp, mns;
  for (std::string& name : names) {
    switch (KindOf(name)) {
      case ToolFileKind::kDvb:
        dvb.push_back(std::move(name));
        break;
      case ToolFileKind::kBmp:
        bmp.push_back(std::move(name));
        break;
      case ToolFileKind::kMns:
        mns.push_back(std::move(name));
        break;
      case ToolFileKind::kNone:
        break;
    }
  }
  std::vector<std::string> unplaced;
  // A link planted where the install folder belongs would redirect every file to wherever it
  // leads; only a real folder (made now or left by an earlier install) takes them.
  if (files.Inspect(locations.InstallDir).kind != EntryKind::kFolder) {
    for (auto* kind : {&dvb, &bmp, &mns})
      unplaced.insert(unplaced.end(), kind->begin(), kind->end());
    return unplaced;
  }
  // Started from inside the install folder: every file is in place already, and a move onto
  // itself must never cost the file.
  if (files.SameFolder(locations.SourceDir, locations.InstallDir)) return {};
  RemoveTemporaryCopies(files, locations.InstallDir);

  const auto place = [&](const std::string& name, bool replace) {
    const Status s = PlaceFile(files, InFolder(locations.SourceDir, name),
                               InFolder(locations.InstallDir, name), replace);
    // A kept installed copy is the designed reinstall behaviour, not a failure.
    if (!s.ok() && !(!replace && s.code() == StatusCode::kAlreadyExists)) {
      unplaced.push_back(name);
    }
  };
  for (const std::string& name : dvb) place(name, true);
  for (const std::string& name : bmp) place(name, false);
  for (std::size_t i = 0; i < mns.size(); ++i) {
    place(mns[i], i == 0 || EqualsIgnoringCase(mns[i], kMenuFileName));
  }
  return unplaced;
}

}  // namespace setup
