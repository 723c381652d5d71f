#include "tests/support/scratch_folder.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "tests/support/host.h"

namespace vrk_test {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const std::string& prefix) {
  std::random_device random;
  const fs::path base = TemporaryFolder();
  for (int attempt = 0;; ++attempt) {
    path_ = base / (prefix + std::to_string(random()));
    if (fs::create_directory(path_)) return;
    if (attempt == 100) throw std::runtime_error("no scratch folder under " + base.string());
  }
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  // Tests take rights away from the folder; it must go all the same.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string ScratchFolder::Inside(const std::string& name) const { return PathText(path_ / FsPath(name)); }

std::string ScratchFolder::Put(const std::string& name, const std::string& bytes) const {
  const fs::path file = path_ / FsPath(name);
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
  return PathText(file);
}

std::string ScratchFolder::Get(const std::string& name) const {
  std::ifstream in(path_ / FsPath(name), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool ScratchFolder::Exists(const std::string& name) const {
  std::error_code ignored;
  return fs::exists(path_ / FsPath(name), ignored);
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(PathText(entry.path().filename()));
  return names;
}

}  // namespace vrk_test
