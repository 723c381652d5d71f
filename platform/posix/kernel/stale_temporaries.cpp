#include "platform/posix/kernel/stale_temporaries.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>

#include "base/temporary_names.h"
#include "platform/posix/kernel/paths.h"

namespace vrk_posix {

namespace {

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string InFolder(const std::string& folder, const std::string& name) {
  return (folder == "/" ? "" : folder) + "/" + name;
}

// A process that cannot be signalled for want of rights still runs.
bool Runs(std::uint32_t process) {
  return ::kill(static_cast<pid_t>(process), 0) == 0 || errno != ESRCH;
}

}  // namespace

std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  const unsigned n = counter.fetch_add(1) ^ static_cast<unsigned>(std::time(nullptr));
  return InFolder(FolderOf(target),
                  vrk::temporary_names::Make(BaseOf(target), static_cast<std::uint32_t>(::getpid()), n));
}

void RemoveStaleTemporaries(const std::string& target) {
  const std::string folder = FolderOf(target);
  const std::string base = BaseOf(target);
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) return;
  while (const dirent* entry = ::readdir(listing)) {
    const auto writer = vrk::temporary_names::Writer(entry->d_name, base);
    if (writer && !Runs(*writer)) ::unlink(InFolder(folder, entry->d_name).c_str());
  }
  ::closedir(listing);
}

}  // namespace vrk_posix
