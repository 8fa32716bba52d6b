#include "setup/install/deploy.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "setup/install/placement.h"
#include "setup/install/tool_menu.h"  // kMenuFileName, kTemplateName

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

bool HoldsDistribution(FileSystem& files, const std::string& folder) {
  std::vector<std::string> names;
  return !files.ListFiles(folder, names).ok() ||
         std::ranges::any_of(names, [](const std::string& name) {
           return KindOf(name) != ToolFileKind::kNone || EqualsIgnoringCase(name, kTemplateName);
         });
}

std::vector<std::string> DeployProgramFiles(FileSystem& files, const InstallLocations& locations,
                                            const std::function<void(const FilePlacing&)>& report) {
  // Held like the install folder below, for the same reason: every file would be taken from
  // wherever a link there led.
  std::unique_ptr<FolderHold> source_hold;
  std::vector<std::string> names, unplaced;
  if (!files.HoldFolder(locations.SourceDir, source_hold).ok() ||
      !files.ListFiles(locations.SourceDir, names).ok()) {
    // Which files there are is unknown, so say which kinds stayed behind.
    return {"*.dvb", "*.bmp", "*.mns"};
  }
  // Kinds in their order, each in listing order.
  std::vector<std::string> tools;
  for (const ToolFileKind kind : {ToolFileKind::kDvb, ToolFileKind::kBmp, ToolFileKind::kMns}) {
    for (std::string& name : names) {
      if (KindOf(name) == kind) tools.push_back(std::move(name));
    }
  }
  const auto record = [&](const std::string& name, FilePlacing::How how, std::string_view cause) {
    report({.how = how, .name = name, .cause = cause});
    if (how == FilePlacing::kNotPlaced) unplaced.push_back(name);
  };

  // An existing folder is the reinstall case; one that cannot be made shows when it is held.
  (void)files.MakeFolder(locations.InstallDir);
  // Held, the folder cannot be swapped for a link between this check and the last move: a link
  // there would send every file wherever it leads.
  std::unique_ptr<FolderHold> hold;
  if (const Status held = files.HoldFolder(locations.InstallDir, hold); !held.ok()) {
    for (const std::string& name : tools) record(name, FilePlacing::kNotPlaced, held.message());
    return unplaced;
  }
  // Started from inside the install folder: every file is in place already, and a move onto
  // itself must never cost the file.
  const bool in_place = files.SameFolder(locations.SourceDir, locations.InstallDir);
  if (!in_place) RemoveTemporaryCopies(files, locations.InstallDir);
  bool first_menu = true;
  for (const std::string& name : tools) {
    const ToolFileKind kind = KindOf(name);
    // Installed bitmaps and menus stay, but for the first-listed menu and the generated one.
    const bool replace = kind == ToolFileKind::kDvb ||
                         (kind == ToolFileKind::kMns && (std::exchange(first_menu, false) ||
                                                         EqualsIgnoringCase(name, kMenuFileName)));
    const std::string source = InFolder(locations.SourceDir, name);
    // A link may lead to any file, someone else's included: moved, read, or re-permissioned
    // where it leads, that file would be SYSTEM's gift to whoever made the link.
    if (files.Inspect(source).kind == EntryKind::kNotPlain) {
      record(name, FilePlacing::kNotPlaced, source + ": a link, which is never followed");
      continue;
    }
    if (in_place) {
      record(name, FilePlacing::kPlaced, {});
      continue;
    }
    const std::string target = InFolder(locations.InstallDir, name);
    Status s = PlaceFile(files, source, target, replace);
    // A file renamed in keeps its owner, and only the owner may change its permissions by right:
    // unpacked by someone else into a folder where we may only modify, it is remade here as ours.
    // If that fails too, why its permissions are not the folder's is the cause to tell.
    if (s.ok()) {
      if (const Status inherited = files.InheritPermissions(target);
          !inherited.ok() && !RemakeInPlace(files, target).ok()) {
        s = inherited;
      }
    }
    if (s.ok()) {
      record(name, FilePlacing::kPlaced, {});
    } else if (!replace && s.code() == StatusCode::kAlreadyExists) {
      record(name, FilePlacing::kKept, {});
    } else {
      record(name, FilePlacing::kNotPlaced, s.message());
    }
  }
  // Without its program the tool does nothing, whatever else landed: an emptied distribution
  // or a repair of a deleted install folder must not pass for an install.
  std::vector<std::string> installed;
  const bool has_program = files.ListFiles(locations.InstallDir, installed).ok() &&
                           std::ranges::any_of(installed, [](const std::string& n) {
                             return KindOf(n) == ToolFileKind::kDvb;
                           });
  const bool named = std::ranges::any_of(
      unplaced, [](const std::string& n) { return KindOf(n) == ToolFileKind::kDvb; });
  if (!has_program && !named) unplaced.push_back("*.dvb");
  return unplaced;
}

}  // namespace setup
