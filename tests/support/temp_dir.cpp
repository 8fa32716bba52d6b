#include "tests/support/temp_dir.h"

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace setup::testing {
namespace {

std::string DefaultParent() {
  const char* tmpdir = std::getenv("TMPDIR");
  return (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp";
}

}  // namespace

TempDir::TempDir() : TempDir(DefaultParent()) {}

TempDir::TempDir(const std::string& parent) {
  std::string name = parent + "/setup-test-XXXXXX";
  if (::mkdtemp(name.data()) == nullptr) {
    throw std::runtime_error("cannot make a scratch folder under " + parent + ": " +
                             std::generic_category().message(errno));
  }
  path_ = std::move(name);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Join(std::string_view relative) const {
  std::string joined = path_;
  if (!relative.empty()) {
    joined.push_back('/');
    joined.append(relative);
  }
  return joined;
}

bool TempDir::WriteFile(std::string_view relative, std::string_view bytes) const {
  std::ofstream out(Join(relative), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

bool TempDir::MakeFolder(std::string_view relative) const {
  std::error_code error;
  return std::filesystem::create_directory(Join(relative), error) && !error;
}

std::optional<std::string> TempDir::ReadFile(std::string_view relative) const {
  const std::string path = Join(relative);
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return bytes;
}

std::vector<std::string> TempDir::ListSorted(std::string_view relative) const {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(Join(relative), error), end; !error && it != end;
       it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace setup::testing
