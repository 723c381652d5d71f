#include "platform/posix/urlmon/transfer_watch.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace vrk_posix {

namespace {

// The longest wait between two looks at the clock: a stall is seen within this of its limit.
constexpr std::chrono::milliseconds kLongestWait{100};

CURLcode FromMultiCode(CURLMcode code) {
  return code == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_FAILED_INIT;
}

}  // namespace

TransferWatch::TransferWatch(std::chrono::milliseconds stallLimit)
    : stallLimit_(stallLimit), lastByte_(Clock::now()) {}

void TransferWatch::Attach(const CurlLibrary& curl, CURL* handle) {
  curl.easySetopt(handle, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl.easySetopt(handle, CURLOPT_HEADERDATA, this);
  curl.easySetopt(handle, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  curl.easySetopt(handle, CURLOPT_XFERINFODATA, this);
  curl.easySetopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl.easySetopt(handle, CURLOPT_OPENSOCKETFUNCTION, &OnOpenSocket);
  curl.easySetopt(handle, CURLOPT_OPENSOCKETDATA, this);
}

curl_socket_t TransferWatch::OnOpenSocket(void* context, curlsocktype, curl_sockaddr* address) {
  auto* watch = static_cast<TransferWatch*>(context);
  const curl_socket_t made =
      ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (made == CURL_SOCKET_BAD) watch->socketError_ = errno;
  return made;
}

CURLcode TransferWatch::Perform(const CurlLibrary& curl, CURL* handle) {
  CURLM* multi = curl.multiInit();
  if (multi == nullptr) return CURLE_OUT_OF_MEMORY;
  CURLcode result = CURLE_OUT_OF_MEMORY;
  if (curl.multiAddHandle(multi, handle) == CURLM_OK) {
    result = Run(curl, multi);
    curl.multiRemoveHandle(multi, handle);
  }
  curl.multiCleanup(multi);
  return result;
}

CURLcode TransferWatch::Run(const CurlLibrary& curl, CURLM* multi) {
  for (;;) {
    int running = 0;
    if (const CURLMcode step = curl.multiPerform(multi, &running); step != CURLM_OK) return FromMultiCode(step);
    if (running == 0) break;
    const auto left = stallLimit_ - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastByte_);
    if (left.count() <= 0) {
      stalled_ = true;
      return CURLE_OPERATION_TIMEDOUT;
    }
    // The library's own timers (the connect limit) may shorten the wait further.
    const int wait = static_cast<int>(std::min(left, kLongestWait).count());
    if (const CURLMcode polled = curl.multiPoll(multi, nullptr, 0, wait, nullptr); polled != CURLM_OK) {
      return FromMultiCode(polled);
    }
  }
  CURLcode result = CURLE_OK;
  int queued = 0;
  while (const CURLMsg* message = curl.multiInfoRead(multi, &queued)) {
    if (message->msg == CURLMSG_DONE) result = message->data.result;
  }
  return result;
}

std::size_t TransferWatch::OnHeader(char* data, std::size_t size, std::size_t count, void* context) {
  auto* watch = static_cast<TransferWatch*>(context);
  const std::string_view line(data, size * count);
  watch->Received();
  // Every response of a transfer (redirections, a proxy's tunnel answer) opens with its
  // status line and ends with an empty one; other protocols send neither.
  if (line.substr(0, 5) == "HTTP/") watch->headOpen_ = true;
  if (line == "\r\n" || line == "\n") watch->headOpen_ = false;
  return size * count;
}

// Counts bytes that reach no callback of their own, such as the bodies of redirections.
int TransferWatch::OnProgress(void* context, curl_off_t, curl_off_t downloaded, curl_off_t,
                              curl_off_t uploaded) {
  auto* watch = static_cast<TransferWatch*>(context);
  if (downloaded != watch->downloaded_ || uploaded != watch->uploaded_) {
    watch->downloaded_ = downloaded;
    watch->uploaded_ = uploaded;
    watch->Received();
  }
  return 0;
}

}  // namespace vrk_posix
