// Everything one accepted connection received and how it ended, shared between the
// connection's thread (writer) and the test (reader).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vrk_test {

class ConnectionRecord {
 public:
  // Bytes beyond the limit are counted but not kept.
  explicit ConnectionRecord(std::size_t limit) : limit_(limit) {}

  void Append(const char* data, std::size_t size);
  void MarkPeerClosed(bool reset);
  void MarkFailure(std::string failure);
  void MarkEnded();

  std::string Received() const;
  // The kept bytes from `from` up to `from + count` (fewer when not all kept).
  std::string Slice(std::uint64_t from, std::uint64_t count) const;
  std::uint64_t ReceivedCount() const;
  // Position of the marker in the kept bytes, searching from `from`.
  std::optional<std::uint64_t> Find(std::string_view marker, std::uint64_t from) const;
  bool PeerClosed() const;
  bool PeerReset() const;
  bool Ended() const;
  std::string Failure() const;

  bool WaitForBytes(std::uint64_t count, std::chrono::milliseconds timeout) const;
  bool WaitForMarker(std::string_view marker, std::chrono::milliseconds timeout) const;
  bool WaitForPeerClose(std::chrono::milliseconds timeout) const;
  bool WaitForEnd(std::chrono::milliseconds timeout) const;

 private:
  template <typename Predicate>
  bool WaitFor(std::chrono::milliseconds timeout, Predicate ready) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, ready);
  }

  const std::size_t limit_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::string kept_;
  std::uint64_t count_ = 0;
  bool peerClosed_ = false;
  bool peerReset_ = false;
  bool ended_ = false;
  std::string failure_;
};

}  // namespace vrk_test
