#pragma once
// A file system in memory that keeps the rules the program meets on Windows: drive letters are
// volumes, names compare without regard to case and keep the spelling they were made with,
// read-only files are neither replaced nor removed, a held folder cannot be made a link, paths lead
// through links to folders, what is made in a folder takes the permissions it passes on, and only
// a file's owner may change them. Any call can be made to fail, so that tests drive the program
// through failures real files will not produce on demand.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "setup/platform/file_system.h"
#include "tests/support/fault_state.h"
#include "tests/support/memory_files.h"

namespace setup::testing {

using Files = std::map<std::string, std::string>;  // name -> bytes

struct Attributes {
  bool read_only = false;
  bool others = false;  // owned by another user than the one installing
};

class MemoryFileSystem final : public FileSystem {
 public:
  // Drives C:, D: and E:, empty.
  MemoryFileSystem() {
    for (const char* drive : {"C:", "D:", "E:"}) nodes_[drive].kind = EntryKind::kFolder;
  }

  // --- failures: the program's calls count from 1, reads, appends and closes of opened files
  // and identifications of tracked ones included ----------------------------------------------
  // Fails the nth call from now on with `code`: before it takes effect, or, with `after`, once
  // it has, as a call whose answer was lost half way; with `throws`, by throwing std::bad_alloc
  // before it takes effect. Inspect and SameFolder fail by answering kUnknown and false.
  void FailCall(std::size_t n, StatusCode code, bool after = false, bool throws = false) {
    *faults_ = FaultState{.fail_at = n, .code = code, .after = after, .throws = throws};
  }
  // Fails, before they take effect, the first `times` calls whose name `when` picks.
  void FailWhere(std::function<bool(const std::string&)> when, StatusCode code,
                 std::size_t times = SIZE_MAX) {
    *faults_ = FaultState{.times = times, .code = code, .when = std::move(when)};
  }
  // What is planned, the calls so far, and those failed ("operation path").
  const FaultState& faults() const { return *faults_; }

  // --- setting up and looking, as another program would; folders on the way are made ---------
  void Put(const std::string& path, const std::string& bytes, Attributes attributes = {}) {
    PutFolder(ParentPath(path));
    Make(Key(path), EntryKind::kFile, path, bytes).attributes = attributes;
  }
  void Put(const std::string& folder, const Files& files, Attributes attributes = {}) {
    for (const auto& [name, bytes] : files) Put(folder + "\\" + name, bytes, attributes);
  }
  void PutFolder(const std::string& path) {
    if (nodes_.contains(Key(path))) return;
    PutFolder(ParentPath(path));
    Make(Key(path), EntryKind::kFolder, path);
  }
  // A link at `path` to `target`, which it leaves as it is, in place of nothing or of an empty
  // folder that is not held. Returns whether it was made.
  bool MakeLink(const std::string& path, const std::string& target, bool to_folder = false) {
    const Node* there = Find(Key(path));
    if (there != nullptr &&
        (there->kind != EntryKind::kFolder || there->holds > 0 || !Children(Key(path)).empty()))
      return false;
    Make(Key(path), EntryKind::kNotPlain, path).target = Key(target);
    nodes_[Key(path)].to_folder = to_folder;
    return true;
  }
  // Gone, whatever its marks, as another program with the right may remove it.
  void Erase(const std::string& path) { nodes_.erase(Key(path)); }
  // Permissions are named: what is made in a folder later takes its folder's.
  void SetPermissions(const std::string& path, const std::string& permissions) {
    nodes_.at(Key(path)).permissions = permissions;
  }
  std::string Permissions(const std::string& path) const {
    return nodes_.at(Key(path)).permissions;
  }
  // The file's bytes; nothing for what is no file.
  std::optional<std::string> Get(const std::string& path) const {
    const Node* node = Find(Key(path));
    if (node == nullptr || node->kind != EntryKind::kFile) return std::nullopt;
    return node->data->bytes;
  }
  // Every entry of the folder by name as spelled; folders read "<folder>".
  Files Contents(const std::string& folder) const {
    Files found;
    for (const auto& [key, node] : Children(Key(folder)))
      found[node->name] = node->kind == EntryKind::kFile ? node->data->bytes : "<folder>";
    return found;
  }
  bool IsReadOnly(const std::string& path) const {
    const Node* node = Find(Key(path));
    return node != nullptr && node->attributes.read_only;
  }
  // Whether everything written to the file has reached the disk: it was closed cleanly.
  bool IsDurable(const std::string& path) const {
    const Node* node = Find(Key(path));
    return node != nullptr && node->data != nullptr && node->data->durable;
  }

  // --- the program's interface ---------------------------------------------------------------
  Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    return faults_->Run("open " + path, [&] {
      const Node* node = Find(Key(path));
      if (Status s = IsFile(node, "open", path); !s.ok()) return s;
      file = std::make_unique<Reader>(node->data, faults_, path);
      return Status::Ok();
    });
  }
  Status OpenForWriting(const std::string& path, std::unique_ptr<WritableFile>& file) override {
    return faults_->Run("open-for-writing " + path, [&] { return OpenWriter(path, file, true); });
  }
  Status OpenForAppending(const std::string& path, std::unique_ptr<WritableFile>& file) override {
    return faults_->Run("open-for-appending " + path,
                        [&] { return OpenWriter(path, file, false); });
  }
  Status MakeFolder(const std::string& path) override {
    return faults_->Run("make-folder " + path, [&] {
      const std::string key = Key(path);
      if (Find(key) != nullptr) return Error(StatusCode::kAlreadyExists, "make folder", path);
      if (Status s = ParentIsFolder(key, "make folder", path); !s.ok()) return s;
      Make(key, EntryKind::kFolder, path);
      return Status::Ok();
    });
  }
  Status ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    return faults_->Run("list " + folder, [&] {
      const Node* node = Find(Key(folder));
      if (node == nullptr || node->kind != EntryKind::kFolder)
        return Error(StatusCode::kNotFound, "list", folder);
      names.clear();
      for (const auto& [key, child] : Children(Key(folder)))
        if (child->kind == EntryKind::kFile ||
            (child->kind == EntryKind::kNotPlain && !child->to_folder))
          names.push_back(child->name);
      return Status::Ok();
    });
  }
  Entry Inspect(const std::string& path) override {
    Entry entry;
    const Status s = faults_->Run("inspect " + path, [&] {
      const Node* node = Find(Key(path));
      if (node != nullptr) entry = {node->kind, node->attributes.read_only};
      return Status::Ok();
    });
    return s.ok() ? entry : Entry{EntryKind::kUnknown};
  }
  Status Remove(const std::string& path) override {
    return faults_->Run("remove " + path, [&] {
      Node* node = Find(Key(path));
      if (node == nullptr) return Error(StatusCode::kNotFound, "remove", path);
      if (node->kind == EntryKind::kFolder) return Error(StatusCode::kAccessDenied, "remove", path);
      if (Status s = MayChange(*node, "remove", path); !s.ok()) return s;
      nodes_.erase(Key(path));
      return Status::Ok();
    });
  }
  Status Rename(const std::string& from, const std::string& to, bool replace) override {
    const std::string what = from + " -> " + to;
    return faults_->Run("rename " + what, [&] {
      const std::string source = Key(from), target = Key(to);
      Node* node = Find(source);
      if (node == nullptr) return Error(StatusCode::kNotFound, "rename", what);
      if (source[0] != target[0]) return Error(StatusCode::kNotSameVolume, "rename", what);
      if (Status s = ParentIsFolder(target, "rename", what); !s.ok()) return s;
      // The program never renames a folder; nothing it holds moves.
      if (node->kind == EntryKind::kFolder) return Error(StatusCode::kAccessDenied, "rename", what);
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
    });
  }
  Status CopyToNewFile(const std::string& from, const std::string& to) override {
    return faults_->Run("copy " + from + " -> " + to, [&] {
      const Node* node = Find(Key(from));
      if (Status s = IsFile(node, "copy", from); !s.ok()) return s;
      if (Find(Key(to)) != nullptr) return Error(StatusCode::kAlreadyExists, "copy", to);
      if (Status s = ParentIsFolder(Key(to), "copy", to); !s.ok()) return s;
      Make(Key(to), EntryKind::kFile, to, node->data->bytes);
      return Status::Ok();
    });
  }
  Status SetReadOnly(const std::string& path, bool read_only) override {
    return faults_->Run("set-read-only " + path, [&] {
      Node* node = Find(Key(path));
      if (node == nullptr) return Error(StatusCode::kNotFound, "set attributes", path);
      node->attributes.read_only = read_only;
      return Status::Ok();
    });
  }
  bool SameFolder(const std::string& a, const std::string& b) override {
    bool same = false;
    const Status s = faults_->Run("same-folder " + a + " | " + b, [&] {
      const Node* node = Find(Key(a));
      same = node != nullptr && node->kind == EntryKind::kFolder && Key(a) == Key(b);
      return Status::Ok();
    });
    return s.ok() && same;
  }
  Status Track(const std::string& path, std::unique_ptr<FileTrack>& track) override {
    return faults_->Run("track " + path, [&] {
      const Node* node = Find(Key(path));
      if (node == nullptr) return Error(StatusCode::kNotFound, "track", path);
      const FileId id{static_cast<std::uint64_t>(Key(path)[0]), node->id};
      track = std::make_unique<Tracked>(id, faults_, path);
      return Status::Ok();
    });
  }
  Status InheritPermissions(const std::string& path) override {
    return faults_->Run("inherit " + path, [&] {
      Node* node = Find(Key(path));
      if (Status s = IsFile(node, "inherit permissions", path); !s.ok()) return s;
      // Changing them takes the right to, which by default only the owner has.
      if (node->attributes.others)
        return Error(StatusCode::kAccessDenied, "inherit permissions", path);
      node->permissions = Find(Parent(Key(path)))->permissions;
      return Status::Ok();
    });
  }
  Status HoldFolder(const std::string& path, std::unique_ptr<FolderHold>& hold) override {
    return faults_->Run("hold " + path, [&] {
      Node* node = Find(Key(path));
      if (node == nullptr || node->kind != EntryKind::kFolder)
        return Error(StatusCode::kNotFound, "hold", path);
      ++node->holds;
      hold = std::make_unique<Hold>(node->holds);
      return Status::Ok();
    });
  }

 private:
  using Data = memory::Data;
  using Hold = memory::Hold;
  using Reader = memory::Reader;
  using Tracked = memory::Tracked;
  using Writer = memory::Writer;
  struct Node {
    EntryKind kind = EntryKind::kNone;
    std::string name;  // as spelled when made
    std::uint64_t id = 0;
    std::shared_ptr<Data> data;  // files
    Attributes attributes;
    std::string permissions;  // named
    int holds = 0;            // folders held in place
    std::string target;       // links: the key of where they lead
    bool to_folder = false;
  };
  // The key of what the path names, through the links to folders on the way.
  std::string Key(const std::string& path) const {
    std::string key = Normal(path);
    for (std::size_t at = 0, hops = 0; (at = key.find('\\', at + 1)) != std::string::npos;) {
      const auto it = nodes_.find(key.substr(0, at));
      if (it != nodes_.end() && it->second.kind == EntryKind::kNotPlain && hops++ < 8) {
        key = it->second.target + key.substr(at);
        at = 0;
      }
    }
    return key;
  }
  // "c:\A\\b/" -> "C:\A\B": separators either way, doubled or trailing, ASCII letters in upper
  // case, which is how Windows compares them.
  static std::string Normal(const std::string& path) {
    std::string key;
    for (const char c : path) {
      if (c != '\\' && c != '/') {
        key += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
      } else if (!key.empty() && key.back() != '\\') {
        key += '\\';
      }
    }
    if (key.ends_with('\\')) key.pop_back();
    return key;
  }
  static std::string Parent(const std::string& key) { return key.substr(0, key.rfind('\\')); }
  static std::string ParentPath(const std::string& path) {
    return path.substr(0, path.find_last_of("\\/"));
  }
  static std::string Name(const std::string& path) {
    return path.substr(path.find_last_of("\\/") + 1);
  }
  static Status Error(StatusCode code, const char* operation, const std::string& path) {
    return Status::Error(code, std::string(operation) + " " + path);
  }
  static Status IsFile(const Node* node, const char* operation, const std::string& path) {
    if (node == nullptr) return Error(StatusCode::kNotFound, operation, path);
    // Read, written or re-permissioned, a link would give away where it leads.
    if (node->kind == EntryKind::kNotPlain) return Error(StatusCode::kOther, operation, path);
    if (node->kind != EntryKind::kFile) return Error(StatusCode::kAccessDenied, operation, path);
    return Status::Ok();
  }
  // Replacing or removing: refused for a read-only file.
  static Status MayChange(const Node& node, const char* operation, const std::string& path) {
    if (node.attributes.read_only) return Error(StatusCode::kAccessDenied, operation, path);
    return Status::Ok();
  }

  // An exclusive writer makes a new file, which is not on the disk until it is closed.
  Status OpenWriter(const std::string& path, std::unique_ptr<WritableFile>& file, bool exclusive) {
    const std::string key = Key(path);
    if (Status s = ParentIsFolder(key, "create", path); !s.ok()) return s;
    Node* node = Find(key);
    if (exclusive && node != nullptr) return Error(StatusCode::kAlreadyExists, "create", path);
    if (node == nullptr) node = &Make(key, EntryKind::kFile, path);
    if (Status s = IsFile(node, "create", path); !s.ok()) return s;
    if (Status s = MayChange(*node, "create", path); !s.ok()) return s;
    if (exclusive) *node->data = Data{.durable = false};
    file = std::make_unique<Writer>(node->data, faults_, path);
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
  std::shared_ptr<FaultState> faults_ = std::make_shared<FaultState>();
};

}  // namespace setup::testing
