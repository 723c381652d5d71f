// The registry calls over the emulated registry. An open key holds the values it had when
// it was opened; the file is read and parsed once, and again only when it has changed.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/posix/kernel/errno_map.h"
#include "platform/posix/kernel/parsed_files.h"
#include "platform/posix/kernel/whole_file.h"
#include "platform/posix/registry/registry_file.h"

namespace {

using vrk_posix::RegistryDocument;
using vrk_posix::RegistryValues;

struct OpenedKey {
  std::string path;  // below HKEY_CURRENT_USER, as given
  RegistryValues values;
};

struct HandleTable {
  std::mutex lock;
  std::map<std::uintptr_t, OpenedKey> keys;
  // Multiples of four, as Windows hands them out, well away from the predefined keys.
  std::uintptr_t next = 0x1000;
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

bool IsCurrentUser(HKEY key) { return key == HKEY_CURRENT_USER; }

vrk_posix::ParsedFiles<RegistryDocument>& RegistryFiles() {
  static vrk_posix::ParsedFiles<RegistryDocument> files(
      [](std::string&& bytes) { return vrk_posix::ParseRegistryFile(bytes); });
  return files;
}

// The document as it is now: the file, or the environment when there is no file (or only
// something that is not a regular file).
LONG LoadDocument(std::shared_ptr<const RegistryDocument>& document) {
  const std::string path = vrk_posix::RegistryFilePath();
  const vrk_posix::ReadOutcome outcome =
      path.empty() ? vrk_posix::ReadOutcome::kMissing : RegistryFiles().Get(path, document);
  switch (outcome) {
    case vrk_posix::ReadOutcome::kRead:
      return ERROR_SUCCESS;
    case vrk_posix::ReadOutcome::kMissing:
      document = std::make_shared<const RegistryDocument>(vrk_posix::EnvironmentRegistry());
      return ERROR_SUCCESS;
    case vrk_posix::ReadOutcome::kFailed:
      break;
  }
  // As Windows tells a hive it cannot read: the reason, a limit on descriptors or memory
  // among them, not a key that is missing.
  return static_cast<LONG>(vrk_posix::Win32ErrorFromErrno(errno));
}

// The path below HKEY_CURRENT_USER that an open of subKey relative to key names.
bool TargetPath(HKEY key, const char* subKey, std::string& path) {
  const std::string relative = subKey ? subKey : "";
  if (IsCurrentUser(key)) {
    path = relative;
    return true;
  }
  HandleTable& table = Handles();
  std::lock_guard<std::mutex> guard(table.lock);
  const auto found = table.keys.find(reinterpret_cast<std::uintptr_t>(key));
  if (found == table.keys.end()) return false;
  path = found->second.path;
  if (!relative.empty()) path += (path.empty() ? "" : "\\") + relative;
  return true;
}

// Runs `use` on the values of an open key (or of the root itself) under the table's lock.
template <typename Use>
LONG WithValues(HKEY key, Use use) {
  if (IsCurrentUser(key)) {
    std::shared_ptr<const RegistryDocument> document;
    const LONG loaded = LoadDocument(document);
    if (loaded != ERROR_SUCCESS) return loaded;
    return use(*document->FindKey(""));
  }
  HandleTable& table = Handles();
  std::lock_guard<std::mutex> guard(table.lock);
  const auto found = table.keys.find(reinterpret_cast<std::uintptr_t>(key));
  if (found == table.keys.end()) return ERROR_INVALID_HANDLE;
  return use(found->second.values);
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::string path;
  if (!TargetPath(key, subKey, path)) {
    // Other roots hold nothing here.
    return key == HKEY_CLASSES_ROOT || key == HKEY_LOCAL_MACHINE || key == HKEY_USERS
               ? ERROR_FILE_NOT_FOUND
               : ERROR_INVALID_HANDLE;
  }
  std::shared_ptr<const RegistryDocument> document;
  const LONG loaded = LoadDocument(document);
  if (loaded != ERROR_SUCCESS) return loaded;
  const RegistryValues* values = document->FindKey(path);
  if (values == nullptr) return ERROR_FILE_NOT_FOUND;

  HandleTable& table = Handles();
  std::lock_guard<std::mutex> guard(table.lock);
  const std::uintptr_t handle = table.next;
  table.next += 4;
  table.keys[handle] = OpenedKey{path, *values};
  *result = reinterpret_cast<HKEY>(handle);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
  if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
    return ERROR_INVALID_PARAMETER;
  }
  const std::string name = vrk_posix::FoldedName(valueName ? valueName : "");
  return WithValues(key, [&](const RegistryValues& values) -> LONG {
    const auto found = values.find(name);
    if (found == values.end()) return ERROR_FILE_NOT_FOUND;
    const std::string& bytes = found->second.data;
    const DWORD needed = static_cast<DWORD>(bytes.size());
    if (type != nullptr) *type = found->second.type;
    if (data == nullptr) {
      if (dataSize != nullptr) *dataSize = needed;
      return ERROR_SUCCESS;
    }
    const DWORD room = *dataSize;
    *dataSize = needed;
    if (room < needed) return ERROR_MORE_DATA;
    if (needed > 0) std::memcpy(data, bytes.data(), needed);
    return ERROR_SUCCESS;
  });
}

LONG RegCloseKey(HKEY key) {
  if (IsCurrentUser(key) || key == HKEY_CLASSES_ROOT || key == HKEY_LOCAL_MACHINE ||
      key == HKEY_USERS) {
    return ERROR_SUCCESS;  // closing a predefined key is allowed and changes nothing
  }
  HandleTable& table = Handles();
  std::lock_guard<std::mutex> guard(table.lock);
  return table.keys.erase(reinterpret_cast<std::uintptr_t>(key)) == 1 ? ERROR_SUCCESS
                                                                      : ERROR_INVALID_HANDLE;
}
