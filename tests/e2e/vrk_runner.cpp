// The parts of the runner that both platforms share: the folder's files and the box form.
#include "vrk_runner.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vrk_test {

namespace fs = std::filesystem;

ToolFolder::~ToolFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void ToolFolder::WriteFile(const std::string& name, const std::string& bytes) const {
  std::ofstream file(File(name), std::ios::binary);
  file << bytes;
}

std::string ToolFolder::ReadFile(const std::string& name) const {
  std::ifstream file(File(name), std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

bool ToolFolder::Exists(const std::string& name) const { return fs::exists(File(name)); }

std::string Box(const std::string& caption, const std::string& text) {
  return caption + "\n" + text + "\n";
}

}  // namespace vrk_test
