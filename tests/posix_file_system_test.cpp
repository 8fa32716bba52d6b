#include "setup/platform/posix/posix_file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_dir.h"

namespace setup {
namespace {

using ::setup::testing::TempDir;
using Names = std::vector<std::string>;

class PosixFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.MakeFolder("c"));
    ASSERT_TRUE(tmp_.MakeFolder("e"));
  }

  Status Write(const std::string& path, std::string_view bytes) {
    std::unique_ptr<WritableFile> file;
    if (Status opened = fs_.OpenForWriting(path, file); !opened.ok()) return opened;
    if (Status appended = file->Append(bytes); !appended.ok()) return appended;
    return file->Close();
  }

  // C: and E: are two folders of the scratch folder, on one file system.
  TempDir tmp_;
  PosixFileSystem fs_{{{'C', tmp_.Join("c")}, {'E', tmp_.Join("e")}}};
};

TEST_F(PosixFileSystemTest, DifferentSpellingsReachOneFile) {
  ASSERT_TRUE(fs_.MakeFolder("E:\\org_TOOL").ok());
  ASSERT_TRUE(Write("E:\\\\org_TOOL\\a.dvb", "tool").ok());
  ASSERT_TRUE(Write("e:/root.txt", "root").ok());

  EXPECT_EQ(tmp_.ReadFile("e/org_TOOL/a.dvb"), "tool");
  EXPECT_TRUE(fs_.FileExists("E:\\org_TOOL\\\\a.dvb"));
  EXPECT_TRUE(fs_.FileExists("e:/org_TOOL/a.dvb"));
  for (const char* root : {"E:\\", "E:", "e:/"}) {
    Names names;
    ASSERT_TRUE(fs_.ListFiles(root, names).ok()) << root;
    EXPECT_EQ(names, Names{"root.txt"}) << root;
  }
}

TEST_F(PosixFileSystemTest, WritesByAppendsAndReadsInPieces) {
  std::string bytes;
  for (int i = 0; bytes.size() < 200'000; ++i) bytes.push_back(static_cast<char>(i * 7));
  std::unique_ptr<WritableFile> out;
  ASSERT_TRUE(fs_.OpenForWriting("C:\\a.bin", out).ok());
  for (std::size_t at = 0; at < bytes.size(); at += 70'000) {
    ASSERT_TRUE(out->Append(std::string_view(bytes).substr(at, 70'000)).ok());
  }
  ASSERT_TRUE(out->Close().ok());

  std::unique_ptr<ReadableFile> in;
  ASSERT_TRUE(fs_.OpenForReading("C:\\a.bin", in).ok());
  std::string read;
  char buffer[65536];
  std::size_t got = 0;
  do {
    ASSERT_TRUE(in->Read(buffer, got).ok());
    read.append(buffer, got);
  } while (got != 0);
  EXPECT_EQ(read, bytes);

  ASSERT_TRUE(Write("C:\\a.bin", "short").ok());
  EXPECT_EQ(tmp_.ReadFile("c/a.bin"), "short");
  // A write the system refuses fails its Append, and Close after it.
  ASSERT_TRUE(fs_.OpenForWriting("/dev/full", out).ok());
  EXPECT_EQ(out->Append("lost").code(), StatusCode::kDiskFull);
  EXPECT_EQ(out->Close().code(), StatusCode::kDiskFull);
}

TEST_F(PosixFileSystemTest, ListsOnlyVisiblePlainFiles) {
  ASSERT_TRUE(tmp_.WriteFile("c/a.txt", "a"));
  ASSERT_TRUE(tmp_.WriteFile("c/b.dvb", "b"));
  ASSERT_TRUE(tmp_.WriteFile("c/.hidden", "h"));
  ASSERT_TRUE(tmp_.MakeFolder("c/sub"));
  ASSERT_TRUE(tmp_.WriteFile("c/sub/inner.txt", "i"));
  ASSERT_EQ(::symlink("a.txt", tmp_.Join("c/link-to-file").c_str()), 0);
  ASSERT_EQ(::symlink("sub", tmp_.Join("c/link-to-folder").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", tmp_.Join("c/dangling").c_str()), 0);

  Names names;
  ASSERT_TRUE(fs_.ListFiles("C:\\", names).ok());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Names{"a.txt", "b.dvb", "link-to-file"}));

  EXPECT_TRUE(fs_.FileExists("C:\\link-to-file"));
  for (const char* not_a_file :
       {"C:\\sub", "C:\\link-to-folder", "C:\\dangling", "C:\\nothing", "Q:\\a.txt"}) {
    EXPECT_FALSE(fs_.FileExists(not_a_file)) << not_a_file;
  }
  EXPECT_EQ(fs_.ListFiles("C:\\missing", names).code(), StatusCode::kNotFound);
}

TEST_F(PosixFileSystemTest, RemovesFilesButNotFolders) {
  ASSERT_TRUE(tmp_.WriteFile("c/a.txt", "a"));
  ASSERT_TRUE(tmp_.MakeFolder("c/sub"));
  EXPECT_TRUE(fs_.Remove("C:\\a.txt").ok());
  EXPECT_EQ(tmp_.ReadFile("c/a.txt"), std::nullopt);
  EXPECT_EQ(fs_.Remove("C:\\a.txt").code(), StatusCode::kNotFound);
  EXPECT_FALSE(fs_.Remove("C:\\sub").ok());
  EXPECT_EQ(tmp_.ListSorted("c"), Names{"sub"});
}

TEST_F(PosixFileSystemTest, MoveNeverOverwrites) {
  ASSERT_TRUE(tmp_.WriteFile("c/a.dvb", "new"));
  ASSERT_TRUE(tmp_.WriteFile("e/a.dvb", "old"));
  EXPECT_EQ(fs_.Move("C:\\a.dvb", "E:\\a.dvb").code(), StatusCode::kAlreadyExists);
  EXPECT_EQ(tmp_.ReadFile("c/a.dvb"), "new");
  EXPECT_EQ(tmp_.ReadFile("e/a.dvb"), "old");

  EXPECT_TRUE(fs_.Move("C:\\a.dvb", "E:\\b.dvb").ok());
  EXPECT_EQ(tmp_.ListSorted("c"), Names{});
  EXPECT_EQ(tmp_.ReadFile("e/b.dvb"), "new");

  EXPECT_EQ(fs_.Move("C:\\a.dvb", "E:\\c.dvb").code(), StatusCode::kNotFound);
  EXPECT_EQ(tmp_.ListSorted("e"), (Names{"a.dvb", "b.dvb"}));
}

TEST_F(PosixFileSystemTest, ReplaceOverwrites) {
  ASSERT_TRUE(tmp_.WriteFile("c/a.dvb", "new"));
  ASSERT_TRUE(tmp_.WriteFile("e/a.dvb", "old"));
  EXPECT_TRUE(fs_.Replace("C:\\a.dvb", "E:\\a.dvb").ok());
  EXPECT_EQ(tmp_.ListSorted("c"), Names{});
  EXPECT_EQ(tmp_.ReadFile("e/a.dvb"), "new");
}

TEST_F(PosixFileSystemTest, FailedReplaceLeavesBothFiles) {
  ASSERT_TRUE(tmp_.WriteFile("c/a.dvb", "new"));
  ASSERT_TRUE(tmp_.WriteFile("e/a.dvb", "old"));
  ASSERT_TRUE(tmp_.MakeFolder("e/full"));
  ASSERT_TRUE(tmp_.WriteFile("e/full/inside", "kept"));
  const struct {
    const char* from;
    const char* to;
  } cases[] = {
      {"C:\\missing.dvb", "E:\\a.dvb"},
      {"C:\\a.dvb", "E:\\a.dvb\\under-a-file"},
      {"C:\\a.dvb", "E:\\full"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(fs_.Replace(c.from, c.to).ok()) << c.from << " -> " << c.to;
    EXPECT_EQ(tmp_.ReadFile("c/a.dvb"), "new");
    EXPECT_EQ(tmp_.ReadFile("e/a.dvb"), "old");
    EXPECT_EQ(tmp_.ReadFile("e/full/inside"), "kept");
  }
}

TEST_F(PosixFileSystemTest, SameFolderSeesThroughSpellingsAndLinks) {
  ASSERT_TRUE(tmp_.MakeFolder("c/a"));
  ASSERT_TRUE(tmp_.MakeFolder("c/a/b"));
  ASSERT_TRUE(tmp_.WriteFile("c/a/b/f.txt", "f"));
  ASSERT_EQ(::symlink("a/b", tmp_.Join("c/link").c_str()), 0);
  const struct {
    std::string a;
    std::string b;
    bool same;
  } cases[] = {
      {"C:\\a\\b", "C:\\a\\b", true},
      {"C:\\a\\b", "C:\\a\\.\\b", true},
      {"C:\\a\\b", "c:\\\\a\\\\b\\", true},
      {"C:\\a\\b", "C:/a/../a/b", true},
      {"C:\\a\\b", "C:\\link", true},
      {"C:\\", tmp_.Join("c"), true},
      {"C:\\a", "C:\\a\\b", false},
      {"C:\\a\\b", "E:\\", false},
      {"C:\\a\\b\\f.txt", "C:\\a\\b\\f.txt", false},
      {"C:\\missing", "C:\\missing", false},
      {"Q:\\", "Q:\\", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fs_.SameFolder(c.a, c.b), c.same) << c.a << " vs " << c.b;
    EXPECT_EQ(fs_.SameFolder(c.b, c.a), c.same) << c.b << " vs " << c.a;
  }
}

// A writable folder on another file system than `path`'s, or nothing.
std::optional<std::string> FolderOnAnotherVolume(const std::string& path) {
  struct stat here {};
  if (::stat(path.c_str(), &here) != 0) return std::nullopt;
  for (const char* candidate : {"/dev/shm", "/run/user", "/run", "/var/tmp", "/tmp", "/work"}) {
    struct stat there {};
    if (::stat(candidate, &there) == 0 && S_ISDIR(there.st_mode) && there.st_dev != here.st_dev &&
        ::access(candidate, W_OK) == 0) {
      return candidate;
    }
  }
  return std::nullopt;
}

// C: and D: on two file systems, so that moves must copy.
class CrossVolumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::optional<std::string> parent = FolderOnAnotherVolume(c_.path());
    if (!parent) GTEST_SKIP() << "no second file system to move across";
    d_ = std::make_unique<TempDir>(*parent);
    fs_ = std::make_unique<PosixFileSystem>(
        std::map<char, std::string>{{'C', c_.path()}, {'D', d_->path()}});
  }

  TempDir c_;
  std::unique_ptr<TempDir> d_;
  std::unique_ptr<PosixFileSystem> fs_;
};

TEST_F(CrossVolumeTest, MoveCopiesWholeFileKeepsItsTimeAndRemovesSource) {
  const std::string bytes(300'000, '\x5C');
  ASSERT_TRUE(c_.WriteFile("a.dvb", bytes));
  const struct timespec times[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, c_.Join("a.dvb").c_str(), times, 0), 0);

  ASSERT_TRUE(fs_->Move("C:\\a.dvb", "D:\\a.dvb").ok());
  EXPECT_EQ(c_.ListSorted(), Names{});
  EXPECT_EQ(d_->ListSorted(), Names{"a.dvb"});
  EXPECT_EQ(d_->ReadFile("a.dvb"), bytes);
  struct stat moved {};
  ASSERT_EQ(::stat(d_->Join("a.dvb").c_str(), &moved), 0);
  EXPECT_EQ(moved.st_mtim.tv_sec, 1'000'000'000);
}

TEST_F(CrossVolumeTest, MoveNeverOverwrites) {
  ASSERT_TRUE(c_.WriteFile("a.dvb", "new"));
  ASSERT_TRUE(d_->WriteFile("a.dvb", "old"));
  EXPECT_EQ(fs_->Move("C:\\a.dvb", "D:\\a.dvb").code(), StatusCode::kAlreadyExists);
  EXPECT_EQ(c_.ReadFile("a.dvb"), "new");
  EXPECT_EQ(d_->ReadFile("a.dvb"), "old");
}

TEST_F(CrossVolumeTest, ReplaceSwapsInTheWholeFileAndLeavesNoTemporary) {
  ASSERT_TRUE(c_.WriteFile("a.dvb", "new contents"));
  ASSERT_TRUE(d_->WriteFile("a.dvb", "old"));
  ASSERT_TRUE(fs_->Replace("C:\\a.dvb", "D:\\a.dvb").ok());
  EXPECT_EQ(c_.ListSorted(), Names{});
  EXPECT_EQ(d_->ListSorted(), Names{"a.dvb"});
  EXPECT_EQ(d_->ReadFile("a.dvb"), "new contents");

  ASSERT_TRUE(d_->WriteFile("fresh.dvb", "moved back"));
  ASSERT_TRUE(fs_->Replace("D:\\fresh.dvb", "C:\\b.dvb").ok());
  EXPECT_EQ(c_.ReadFile("b.dvb"), "moved back");
  EXPECT_EQ(d_->ListSorted(), Names{"a.dvb"});
}

TEST_F(CrossVolumeTest, FailedReplaceCleansUpItsTemporary) {
  ASSERT_TRUE(c_.WriteFile("a.dvb", "new"));
  ASSERT_TRUE(d_->MakeFolder("a.dvb"));
  ASSERT_TRUE(d_->WriteFile("a.dvb/inside", "kept"));
  EXPECT_FALSE(fs_->Replace("C:\\a.dvb", "D:\\a.dvb").ok());
  EXPECT_EQ(c_.ReadFile("a.dvb"), "new");
  EXPECT_EQ(d_->ListSorted(), Names{"a.dvb"});
  EXPECT_EQ(d_->ReadFile("a.dvb/inside"), "kept");
}

}  // namespace
}  // namespace setup
