#pragma once
// A file system in memory that keeps the rules the program meets on Windows: drive letters are
// volumes, names compare without regard to case and keep the spelling they were made with,
// read-only files are neither replaced nor removed, hidden and system files and links (reparse
// points) are what they are on Windows, a file open for writing is shared with nobody, a held
// folder stays where it is, and what is made in a folder takes the permissions it passes on.

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "setup/platform/file_system.h"

namespace setup::testing {

using Files = std::map<std::string, std::string>;  // name -> bytes

struct Attributes {
  bool read_only = false, hidden = false, system = false;
};

class MemoryFileSystem final : public FileSystem {
 public:
  // Drives C:, D: and E:, empty.
  MemoryFileSystem() {
    for (const char* drive : {"C:", "D:", "E:"}) nodes_[drive].kind = EntryKind::kFolder;
  }

  // --- setting up and looking, as another program would; folders on the way are made ---------
  void Put(const std::string& path, const std::string& bytes, Attributes attributes = {}) {
    PutFolder(Parent(Key(path)));
    Make(Key(path), EntryKind::kFile, path, bytes).attributes = attributes;
  }
  void Put(const std::string& folder, const Files& files, Attributes attributes = {}) {
    for (const auto& [name, bytes] : files) Put(folder + "\\" + name, bytes, attributes);
  }
  void PutFolder(const std::string& path) {
    const std::string key = Key(path);
    if (nodes_.contains(key)) return;
    PutFolder(Parent(key));
    Make(key, EntryKind::kFolder, path);
  }
  // A link (reparse point) at `path` that leads to `target`, which need not exist.
  void PutLink(const std::string& path, const std::string& target) {
    Make(Key(path), EntryKind::kLink, path).target = Key(target);
  }
  void SetAttributes(const std::string& path, Attributes attributes) {
    nodes_.at(Key(path)).attributes = attributes;
  }
  // Permissions are named: what is made in a folder later takes its folder's.
  void SetPermissions(const std::string& path, const std::string& permissions) {
    nodes_.at(Key(path)).permissions = permissions;
  }
  std::string Permissions(const std::string& path) const {
    return nodes_.at(Key(path)).permissions;
  }
  // The file's bytes, following links; nothing for what is no file.
  std::optional<std::string> Get(const std::string& path) const {
    const Node* node = At(path, true);
    if (node == nullptr || node->kind != EntryKind::kFile) return std::nullopt;
    return node->data->bytes;
  }
  // Every entry of the folder, hidden ones too, by name as spelled; folders read "<folder>".
  Files Contents(const std::string& folder) const {
    Files found;
    for (const auto& [key, node] : Children(Resolve(Key(folder), true)))
      found[node->name] = node->kind == EntryKind::kFile ? node->data->bytes : "<folder>";
    return found;
  }
  bool IsReadOnly(const std::string& path) const {
    const Node* node = At(path, false);
    return node != nullptr && node->attributes.read_only;
  }
  // Whether everything written to the file has reached the disk: it was closed cleanly.
  bool IsDurable(const std::string& path) const {
    const Node* node = At(path, false);
    return node != nullptr && node->data != nullptr && node->data->durable;
  }

  // --- the program's interface ---------------------------------------------------------------
  Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    const Node* node = At(path, true);
    if (Status s = IsFile(node, "open", path); !s.ok()) return s;
    if (node->data->writers > 0) return Error(StatusCode::kSharingViolation, "open", path);
    file = std::make_unique<Reader>(node->data);
    return Status::Ok();
  }
  Status OpenForWriting(const std::string& path, std::unique_ptr<WritableFile>& file) override {
    return OpenWriter(path, file, true);
  }
  Status OpenForAppending(const std::string& path, std::unique_ptr<WritableFile>& file) override {
    return OpenWriter(path, file, false);
  }
  Status MakeFolder(const std::string& path) override {
    const std::string key = Resolve(Key(path), false);
    if (Find(key) != nullptr) return Error(StatusCode::kAlreadyExists, "make folder", path);
    if (Status s = ParentIsFolder(key, "make folder", path); !s.ok()) return s;
    Make(key, EntryKind::kFolder, path);
    return Status::Ok();
  }
  Status ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    const std::string key = Resolve(Key(folder), true);
    const Node* node = Find(key);
    if (node == nullptr || node->kind != EntryKind::kFolder)
      return Error(StatusCode::kNotFound, "list", folder);
    names.clear();
    for (const auto& [child_key, child] : Children(key)) {
      const Node* leads_to = Find(Resolve(child_key, true));
      if (!child->attributes.hidden && !child->attributes.system && leads_to != nullptr &&
          leads_to->kind == EntryKind::kFile)
        names.push_back(child->name);
    }
    return Status::Ok();
  }
  Entry Inspect(const std::string& path) override {
    const Node* node = At(path, false);
    return node == nullptr ? Entry{} : Entry{node->kind, node->attributes.read_only};
  }
  Status Remove(const std::string& path) override {
    const std::string key = Resolve(Key(path), false);
    Node* node = Find(key);
    if (node == nullptr) return Error(StatusCode::kNotFound, "remove", path);
    if (node->kind == EntryKind::kFolder) return Error(StatusCode::kAccessDenied, "remove", path);
    if (Status s = MayChange(*node, "remove", path); !s.ok()) return s;
    nodes_.erase(key);
    return Status::Ok();
  }
  // Folders are renamed only while empty: the program never renames one.
  Status Rename(const std::string& from, const std::string& to, bool replace) override {
    const std::string source = Resolve(Key(from), false), target = Resolve(Key(to), false);
    const std::string what = from + " -> " + to;
    Node* node = Find(source);
    if (node == nullptr) return Error(StatusCode::kNotFound, "rename", what);
    if (source[0] != target[0]) return Error(StatusCode::kNotSameVolume, "rename", what);
    if (Status s = ParentIsFolder(target, "rename", what); !s.ok()) return s;
    if (Status s = MayChange(*node, "rename", what, false); !s.ok()) return s;
    if (node->holds > 0) return Error(StatusCode::kSharingViolation, "rename", what);
    if (!Children(source).empty()) return Error(StatusCode::kAccessDenied, "rename", what);
    if (Node* there = Find(target); there != nullptr && source != target) {
      if (!replace) return Error(StatusCode::kAlreadyExists, "rename", what);
      if (there->kind == EntryKind::kFolder)
        return Error(StatusCode::kAccessDenied, "rename", what);
      if (Status s = MayChange(*there, "rename", what); !s.ok()) return s;
    }
    Node moved = std::move(*node);
    moved.name = Name(to);
    nodes_.erase(source);
    nodes_[target] = std::move(moved);
    return Status::Ok();
  }
  Status CopyToNewFile(const std::string& from, const std::string& to) override {
    const Node* node = At(from, true);
    if (Status s = IsFile(node, "copy", from); !s.ok()) return s;
    if (node->data->writers > 0) return Error(StatusCode::kSharingViolation, "copy", from);
    const std::string target = Resolve(Key(to), false);
    if (Find(target) != nullptr) return Error(StatusCode::kAlreadyExists, "copy", to);
    if (Status s = ParentIsFolder(target, "copy", to); !s.ok()) return s;
    Make(target, EntryKind::kFile, to, node->data->bytes);
    return Status::Ok();
  }
  Status SetReadOnly(const std::string& path, bool read_only) override {
    Node* node = Find(Resolve(Key(path), false));
    if (node == nullptr) return Error(StatusCode::kNotFound, "set attributes", path);
    node->attributes.read_only = read_only;
    return Status::Ok();
  }
  bool SameFolder(const std::string& a, const std::string& b) override {
    const Node* node = At(a, true);
    return node != nullptr && node->kind == EntryKind::kFolder &&
           Resolve(Key(a), true) == Resolve(Key(b), true);
  }
  Status Track(const std::string& path, std::unique_ptr<FileTrack>& track) override {
    const std::string key = Resolve(Key(path), false);
    const Node* node = Find(key);
    if (node == nullptr) return Error(StatusCode::kNotFound, "track", path);
    track = std::make_unique<Tracked>(FileId{static_cast<std::uint64_t>(key[0]), node->id});
    return Status::Ok();
  }
  Status InheritPermissions(const std::string& path) override {
    const std::string key = Resolve(Key(path), false);
    Node* node = Find(key);
    if (node == nullptr) return Error(StatusCode::kNotFound, "inherit permissions", path);
    return node->permissions = Find(Parent(key))->permissions, Status();
  }
  Status HoldFolder(const std::string& path, std::unique_ptr<FolderHold>& hold) override {
    Node* node = Find(Resolve(Key(path), false));
    if (node == nullptr || node->kind != EntryKind::kFolder)
      return Error(StatusCode::kNotFound, "hold", path);
    ++node->holds;
    hold = std::make_unique<Hold>(node->holds);
    return Status::Ok();
  }

 private:
  struct Data {
    std::string bytes;
    bool durable = true;
    int writers = 0;  // open for writing, which shares the file with nobody
  };
  struct Node {
    EntryKind kind = EntryKind::kNone;
    std::string name;  // as spelled when made
    std::uint64_t id = 0;
    std::shared_ptr<Data> data;  // files
    Attributes attributes;
    std::string target;       // links
    std::string permissions;  // named
    int holds = 0;            // folders held in place
  };
  // A node's number stays with it through renames, as a file's does on a volume.
  struct Tracked final : FileTrack {
    explicit Tracked(FileId file) : id(file) {}
    Status Identify(FileId& file) override { return file = id, Status(); }
    FileId id;
  };
  struct Hold final : FolderHold {
    explicit Hold(int& count) : holds(count) {}
    ~Hold() override { --holds; }
    int& holds;
  };
  struct Reader final : ReadableFile {
    explicit Reader(std::shared_ptr<Data> file) : data(std::move(file)) {}
    Status Read(std::span<char> buffer, std::size_t& got) override {
      got = data->bytes.copy(buffer.data(), buffer.size(), std::min(at, data->bytes.size()));
      return at += got, Status();
    }
    std::shared_ptr<Data> data;
    std::size_t at = 0;
  };
  struct Writer final : WritableFile {
    // Appenders share the file: only an exclusive writer keeps others out.
    Writer(std::shared_ptr<Data> file, bool alone) : data(std::move(file)), exclusive(alone) {}
    ~Writer() override {
      if (!closed && exclusive) data->writers = 0;  // abandoned: what was appended stays
    }
    Status Append(std::string_view bytes) override { return data->bytes += bytes, Status(); }
    Status Close() override {
      if (exclusive) data->writers = 0;
      return closed = true, data->durable = true, Status();
    }
    std::shared_ptr<Data> data;
    bool exclusive, closed = false;
  };

  // "c:\A\.\b\..\B/" -> "C:\A\B": separators either way, doubled or trailing, "." and ".."
  // resolved, ASCII letters in upper case, which is how Windows compares them.
  static std::string Key(const std::string& path) {
    std::vector<std::string> parts(1);
    for (const char c : path + "\\") {
      std::string& part = parts.back();
      if (c != '\\' && c != '/') {
        part += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
      } else if (part == ".." && parts.size() > 2) {
        parts.pop_back(), parts.back().clear();
      } else if (!part.empty() && part != "." && part != "..") {
        parts.emplace_back();
      } else {
        part.clear();
      }
    }
    std::string key;
    for (const std::string& part : parts)
      key += part.empty() ? "" : (key.empty() ? "" : "\\") + part;
    return key;
  }
  static std::string Parent(const std::string& key) { return key.substr(0, key.rfind('\\')); }
  static std::string Name(const std::string& path) {
    return path.substr(path.find_last_of("\\/") + 1);
  }
  static Status Error(StatusCode code, const char* operation, const std::string& path) {
    return Status::Error(code, std::string(operation) + " " + path);
  }
  static Status IsFile(const Node* node, const char* operation, const std::string& path) {
    if (node == nullptr) return Error(StatusCode::kNotFound, operation, path);
    if (node->kind != EntryKind::kFile) return Error(StatusCode::kAccessDenied, operation, path);
    return Status::Ok();
  }
  // Replacing or removing: refused for a read-only file, and for one open for writing.
  static Status MayChange(const Node& node, const char* operation, const std::string& path,
                          bool attributes_count = true) {
    if (attributes_count && node.attributes.read_only)
      return Error(StatusCode::kAccessDenied, operation, path);
    if (node.data != nullptr && node.data->writers > 0)
      return Error(StatusCode::kSharingViolation, operation, path);
    return Status::Ok();
  }

  // An exclusive writer empties the file and keeps everyone else out until it is done.
  Status OpenWriter(const std::string& path, std::unique_ptr<WritableFile>& file, bool exclusive) {
    const std::string key = Resolve(Key(path), true);
    if (Status s = ParentIsFolder(key, "create", path); !s.ok()) return s;
    Node* node = Find(key);
    if (node == nullptr) node = &Make(key, EntryKind::kFile, path);
    if (Status s = IsFile(node, "create", path); !s.ok()) return s;
    if (Status s = MayChange(*node, "create", path); !s.ok()) return s;
    if (exclusive) *node->data = Data{.durable = false, .writers = 1};
    file = std::make_unique<Writer>(node->data, exclusive);
    return Status::Ok();
  }
  Node& Make(const std::string& key, EntryKind kind, const std::string& path,
             const std::string& bytes = {}) {
    const Node* parent = Find(Parent(key));
    Node& node = nodes_[key] = Node{.kind = kind, .name = Name(path), .id = ++last_id_};
    if (parent != nullptr && parent != &node) node.permissions = parent->permissions;
    if (kind == EntryKind::kFile) node.data = std::make_shared<Data>(Data{.bytes = bytes});
    return node;
  }
  Node* Find(const std::string& key) {
    const auto it = nodes_.find(key);
    return it == nodes_.end() ? nullptr : &it->second;
  }
  const Node* Find(const std::string& key) const {
    return const_cast<MemoryFileSystem*>(this)->Find(key);
  }
  const Node* At(const std::string& path, bool follow_last) const {
    return Find(Resolve(Key(path), follow_last));
  }
  // The path with the links on its way followed, and the last one too with `follow_last`.
  std::string Resolve(std::string key, bool follow_last) const {
    for (std::size_t end = key.find('\\'), hops = 0; hops < 32; end = key.find('\\', end + 1)) {
      const Node* node = Find(key.substr(0, end));
      if (node != nullptr && node->kind == EntryKind::kLink && (end != key.npos || follow_last)) {
        key = node->target + (end == key.npos ? "" : key.substr(end));
        end = 0, ++hops;  // from the start of the new path
      } else if (end == key.npos) {
        break;
      }
    }
    return key;
  }
  std::vector<std::pair<std::string, const Node*>> Children(const std::string& key) const {
    std::vector<std::pair<std::string, const Node*>> found;
    const std::string prefix = key + "\\";
    for (auto it = nodes_.lower_bound(prefix); it != nodes_.end() && it->first.starts_with(prefix);
         ++it) {
      if (it->first.find('\\', prefix.size()) == std::string::npos)
        found.emplace_back(it->first, &it->second);
    }
    return found;
  }
  Status ParentIsFolder(const std::string& key, const char* operation, const std::string& path) {
    const Node* parent = key.find('\\') == key.npos ? nullptr : Find(Parent(key));
    if (parent == nullptr || parent->kind != EntryKind::kFolder)
      return Error(StatusCode::kNotFound, operation, path);
    return Status::Ok();
  }

  std::map<std::string, Node> nodes_;  // by key
  std::uint64_t last_id_ = 0;
};

}  // namespace setup::testing
