// Pending files on Linux: the replacement file of the emulation.
#include "platform/pending_file.h"

#include "platform/posix/kernel/paths.h"
#include "platform/posix/kernel/replacement_file.h"

namespace vrk {

namespace {

class PosixPendingFile final : public PendingFile {
 public:
  PosixPendingFile(const char* target, Options options)
      : file_(vrk_posix::PosixPath(target),
              vrk_posix::ReplacementOptions{options.readable}) {}

  bool IsOpen() const { return file_.IsOpen(); }
  bool Append(const char* data, std::size_t length) override { return file_.Write(data, length); }
  std::size_t Length() const noexcept override { return file_.Length(); }
  const char* Bytes() override { return file_.Bytes(); }
  bool Commit(const char* target, std::size_t length, Naming naming) override {
    return file_.Commit(length, vrk_posix::PosixPath(target),
                        naming == Naming::Replace ? vrk_posix::Naming::kReplace
                                                  : vrk_posix::Naming::kKeepExisting);
  }
  bool Named() const noexcept override { return file_.Committed(); }

 private:
  vrk_posix::ReplacementFile file_;
};

}  // namespace

std::unique_ptr<PendingFile> PendingFile::Create(const char* target, Options options) {
  auto file = std::make_unique<PosixPendingFile>(target, options);
  if (!file->IsOpen()) return nullptr;
  return file;
}

}  // namespace vrk
