// What the transfer library leaves unjudged in a download: a head that the close cut after
// its status line (it calls that a whole, empty body), and a stall counted from the last
// byte received (its own low-speed check averages over seconds and overran the limit by
// several, and its easy interface looks at the time only about once a second).
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstddef>

#include "platform/posix/urlmon/curl_library.h"

namespace vrk_posix {

class TransferWatch {
 public:
  using Clock = std::chrono::steady_clock;

  // The stall clock starts now.
  explicit TransferWatch(std::chrono::milliseconds stallLimit);

  // Hands the head lines and the progress of the transfer on `handle` to the watch.
  void Attach(const CurlLibrary& curl, CURL* handle);
  // Runs the transfer as curl_easy_perform does, and ends it once the stall limit passes.
  CURLcode Perform(const CurlLibrary& curl, CURL* handle);
  // Bytes arrived.
  void Received() noexcept { lastByte_ = Clock::now(); }

  // A response's head began and its empty line never came.
  bool HeadUnfinished() const noexcept { return headOpen_; }
  // The transfer was ended for going longer than the limit without a byte.
  bool Stalled() const noexcept { return stalled_; }
  // errno of a socket that could not be made (a limit on descriptors or memory), or 0: the
  // library tells that only as a connection that failed.
  int SocketError() const noexcept { return socketError_; }

 private:
  static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* watch);
  static int OnProgress(void* watch, curl_off_t downloadTotal, curl_off_t downloaded,
                        curl_off_t uploadTotal, curl_off_t uploaded);
  static curl_socket_t OnOpenSocket(void* watch, curlsocktype purpose, curl_sockaddr* address);
  CURLcode Run(const CurlLibrary& curl, CURLM* multi);

  const std::chrono::milliseconds stallLimit_;
  Clock::time_point lastByte_;
  curl_off_t downloaded_ = 0;
  curl_off_t uploaded_ = 0;
  bool headOpen_ = false;
  bool stalled_ = false;
  int socketError_ = 0;
};

}  // namespace vrk_posix
