#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "setup/platform/file_system.h"

namespace setup::bench {

// The program's file system with each call counted and timed, to tell where an operation's
// time goes.
class CountingFileSystem final : public FileSystem {
 public:
  struct Tally {
    int calls = 0;
    double ms = 0;
  };

  explicit CountingFileSystem(FileSystem& inner) : inner_(inner) {}

  std::map<std::string, Tally> tallies;

 private:
  // Before its callers, which return what it deduces.
  template <class Call>
  auto Count(const char* name, Call call) {
    const Clock::time_point start = Clock::now();
    auto result = call();
    Tally& tally = tallies[name];
    ++tally.calls;
    tally.ms += MsSince(start);
    return result;
  }

 public:
  Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    return Count("OpenForReading", [&] { return inner_.OpenForReading(path, file); });
  }
  Status OpenForWriting(const std::string& path, std::unique_ptr<WritableFile>& file) override {
    return Count("OpenForWriting", [&] { return inner_.OpenForWriting(path, file); });
  }
  Status OpenForAppending(const std::string& path, std::unique_ptr<WritableFile>& file) override {
    return Count("OpenForAppending", [&] { return inner_.OpenForAppending(path, file); });
  }
  Status MakeFolder(const std::string& path) override {
    return Count("MakeFolder", [&] { return inner_.MakeFolder(path); });
  }
  Status ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    return Count("ListFiles", [&] { return inner_.ListFiles(folder, names); });
  }
  Entry Inspect(const std::string& path) override {
    return Count("Inspect", [&] { return inner_.Inspect(path); });
  }
  Status Remove(const std::string& path) override {
    return Count("Remove", [&] { return inner_.Remove(path); });
  }
  Status Rename(const std::string& from, const std::string& to, bool replace) override {
    return Count("Rename", [&] { return inner_.Rename(from, to, replace); });
  }
  Status CopyToNewFile(const std::string& from, const std::string& to) override {
    return Count("CopyToNewFile", [&] { return inner_.CopyToNewFile(from, to); });
  }
  Status SetReadOnly(const std::string& path, bool read_only) override {
    return Count("SetReadOnly", [&] { return inner_.SetReadOnly(path, read_only); });
  }
  bool SameFolder(const std::string& a, const std::string& b) override {
    return Count("SameFolder", [&] { return inner_.SameFolder(a, b); });
  }
  // The identity a track gives later is not counted: it is asked only when a rename fails.
  Status Track(const std::string& path, std::unique_ptr<FileTrack>& track) override {
    return Count("Track", [&] { return inner_.Track(path, track); });
  }
  Status InheritPermissions(const std::string& path) override {
    return Count("InheritPermissions", [&] { return inner_.InheritPermissions(path); });
  }
  Status HoldFolder(const std::string& path, std::unique_ptr<FolderHold>& hold) override {
    return Count("HoldFolder", [&] { return inner_.HoldFolder(path, hold); });
  }

 private:
  FileSystem& inner_;
};

inline void PrintTallies(const CountingFileSystem& counted) {
  for (const auto& [name, tally] : counted.tallies) {
    std::printf("    %-14s %6d calls %9.1f ms  %7.1f us each\n", name.c_str(), tally.calls,
                tally.ms, tally.ms * 1000 / tally.calls);
  }
}

}  // namespace setup::bench
