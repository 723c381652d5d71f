// The current user's Internet Settings values that the proxy command reads, set for one
// test: on POSIX in a registry file that the tool is pointed at, on Windows in the
// registry itself, where the values found before are put back afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vrk_runner.h"

namespace vrk_test {

struct RegistryValue {
  enum Kind { kDword, kText };
  std::string name;
  Kind kind;
  std::uint32_t number = 0;
  std::string text;
};

inline RegistryValue Dword(const std::string& name, std::uint32_t value) {
  return {name, RegistryValue::kDword, value, {}};
}
inline RegistryValue TextValue(const std::string& name, const std::string& value) {
  return {name, RegistryValue::kText, 0, value};
}

class InternetSettings {
 public:
  explicit InternetSettings(const ToolFolder& folder);
  ~InternetSettings();
  InternetSettings(const InternetSettings&) = delete;
  InternetSettings& operator=(const InternetSettings&) = delete;

  // ProxyEnable and ProxyServer become exactly these; the one not given is absent.
  void Set(const std::vector<RegistryValue>& values);
  // What the tool's environment needs so that it reads these values.
  std::vector<std::string> Environment() const;

 private:
  // Windows: a value as found before the test, as its raw type and bytes.
  struct Found {
    std::string name;
    std::uint32_t type;
    std::string data;
  };
  const ToolFolder& folder_;
  std::vector<Found> found_;
  bool keyFound_ = true;
};

}  // namespace vrk_test
