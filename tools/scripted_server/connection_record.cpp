#include "tools/scripted_server/connection_record.h"

#include <algorithm>

namespace vrk_test {

void ConnectionRecord::Append(const char* data, std::size_t size) {
  {
    std::lock_guard lock(mutex_);
    if (kept_.size() < limit_) kept_.append(data, std::min(size, limit_ - kept_.size()));
    count_ += size;
  }
  changed_.notify_all();
}

void ConnectionRecord::MarkPeerClosed(bool reset) {
  {
    std::lock_guard lock(mutex_);
    peerClosed_ = true;
    peerReset_ = peerReset_ || reset;
  }
  changed_.notify_all();
}

void ConnectionRecord::MarkFailure(std::string failure) {
  std::lock_guard lock(mutex_);
  if (failure_.empty()) failure_ = std::move(failure);
}

void ConnectionRecord::MarkEnded() {
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }
  changed_.notify_all();
}

std::string ConnectionRecord::Received() const {
  std::lock_guard lock(mutex_);
  return kept_;
}

std::string ConnectionRecord::Slice(std::uint64_t from, std::uint64_t count) const {
  std::lock_guard lock(mutex_);
  if (from >= kept_.size()) return {};
  return kept_.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
}

std::uint64_t ConnectionRecord::ReceivedCount() const {
  std::lock_guard lock(mutex_);
  return count_;
}

std::optional<std::uint64_t> ConnectionRecord::Find(std::string_view marker,
                                                    std::uint64_t from) const {
  std::lock_guard lock(mutex_);
  if (from > kept_.size()) return std::nullopt;
  const std::size_t at = kept_.find(marker, static_cast<std::size_t>(from));
  if (at == std::string::npos) return std::nullopt;
  return at;
}

bool ConnectionRecord::PeerClosed() const {
  std::lock_guard lock(mutex_);
  return peerClosed_;
}

bool ConnectionRecord::PeerReset() const {
  std::lock_guard lock(mutex_);
  return peerReset_;
}

bool ConnectionRecord::Ended() const {
  std::lock_guard lock(mutex_);
  return ended_;
}

std::string ConnectionRecord::Failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

bool ConnectionRecord::WaitForBytes(std::uint64_t count, std::chrono::milliseconds timeout) const {
  return WaitFor(timeout, [&] { return count_ >= count; });
}

bool ConnectionRecord::WaitForMarker(std::string_view marker,
                                     std::chrono::milliseconds timeout) const {
  return WaitFor(timeout, [&] { return kept_.find(marker) != std::string::npos; });
}

bool ConnectionRecord::WaitForPeerClose(std::chrono::milliseconds timeout) const {
  return WaitFor(timeout, [&] { return peerClosed_; });
}

bool ConnectionRecord::WaitForEnd(std::chrono::milliseconds timeout) const {
  return WaitFor(timeout, [&] { return ended_; });
}

}  // namespace vrk_test
