// What a run left in a folder.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "vrk_runner.h"

namespace vrk_test {

// The names of everything in the folder.
inline std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Everything in the tool's folder but the tool itself, sorted.
inline std::vector<std::string> FilesBesideTheTool(const ToolFolder& folder) {
  std::set<std::string> names = Names(folder.Path());
  names.erase(ToolFolder::ExecutableName());
  return {names.begin(), names.end()};
}

}  // namespace vrk_test
