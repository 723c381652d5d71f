// Files that are looked up again and again (the settings file, the registry file), each read
// and parsed once: again only when its identity (device, inode, size, modification time)
// has changed since.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/kernel/whole_file.h"

namespace vrk_posix {

template <typename Document>
class ParsedFiles {
 public:
  using Parser = Document (*)(std::string&& bytes);
  explicit ParsedFiles(Parser parse) : parse_(parse) {}

  // kRead with the document of the file as it is now; otherwise as ReadRegularFile says
  // (errno kept), and no document.
  ReadOutcome Get(const std::string& path, std::shared_ptr<const Document>& document) {
    document.reset();
    FileIdentity identity;
    const ReadOutcome found = IdentifyRegularFile(path, identity);
    if (found != ReadOutcome::kRead) return Unread(path, found);
    {
      std::lock_guard<std::mutex> guard(lock_);
      const auto known = Find(path);
      if (known != entries_.end() && known->identity == identity) {
        std::rotate(entries_.begin(), known, known + 1);
        document = entries_.front().document;
        return ReadOutcome::kRead;
      }
    }
    std::string bytes;
    const ReadOutcome read = ReadRegularFile(path, bytes, identity);
    if (read != ReadOutcome::kRead) return Unread(path, read);
    document = std::make_shared<const Document>(parse_(std::move(bytes)));
    std::lock_guard<std::mutex> guard(lock_);
    const auto known = Find(path);
    if (known != entries_.end()) entries_.erase(known);
    entries_.insert(entries_.begin(), Entry{path, identity, document});
    if (entries_.size() > kKept) entries_.pop_back();
    return ReadOutcome::kRead;
  }

  // After this process changed the file: read it anew next time, whatever its identity.
  void Forget(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    const auto known = Find(path);
    if (known != entries_.end()) entries_.erase(known);
  }

 private:
  struct Entry {
    std::string path;
    FileIdentity identity;
    std::shared_ptr<const Document> document;
  };
  // The tool uses one settings file and one registry file; a few more cost little.
  static constexpr std::size_t kKept = 4;

  ReadOutcome Unread(const std::string& path, ReadOutcome outcome) {
    const int error = errno;
    Forget(path);
    errno = error;
    return outcome;
  }

  typename std::vector<Entry>::iterator Find(const std::string& path) {
    return std::find_if(entries_.begin(), entries_.end(),
                        [&](const Entry& entry) { return entry.path == path; });
  }

  Parser parse_;
  std::mutex lock_;
  std::vector<Entry> entries_;  // the last one used first
};

}  // namespace vrk_posix
