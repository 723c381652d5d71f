// A fresh folder of real files for one test (or one benchmark), removed with everything in it
// afterwards.
#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace vrk_test {

// The names of everything directly in a folder.
std::set<std::string> Names(const std::filesystem::path& folder);

class ScratchFolder {
 public:
  // Made under the temporary folder, its name beginning with `prefix`.
  explicit ScratchFolder(const std::string& prefix = "vrk-test-");
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The full name of an entry of the folder; "sub/name" reaches into a subfolder.
  std::string Inside(const std::string& name) const;
  // Writes the bytes to a file of the folder, making the folders on the way; its full name.
  std::string Put(const std::string& name, const std::string& bytes) const;
  // The whole content of a file of the folder; empty when there is none.
  std::string Get(const std::string& name) const;
  bool Exists(const std::string& name) const;
  std::set<std::string> Names() const { return vrk_test::Names(path_); }

 private:
  std::filesystem::path path_;
};

}  // namespace vrk_test
