// What a run left in the tool's folder.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "vrk_runner.h"

namespace vrk_test {

// Everything in the folder but the tool itself, sorted.
inline std::vector<std::string> FilesBesideTheTool(const ToolFolder& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    std::string name = entry.path().filename().string();
    if (name != ToolFolder::ExecutableName()) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace vrk_test
