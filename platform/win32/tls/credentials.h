// The client credentials of a secure session: TLS 1.2 and 1.3 only, no certificate of our own,
// and the server's certificate left for us to check, so that both builds judge it alike.
#pragma once

#include "platform/win32/tls/schannel.h"

namespace vrk::schannel {

// Owns a credentials handle; empty when the system offers no TLS 1.2.
class Credentials {
 public:
  static Credentials Acquire();
  Credentials() = default;
  Credentials(Credentials&& other) noexcept;
  Credentials& operator=(Credentials&& other) noexcept;
  ~Credentials();

  bool Valid() const noexcept { return valid_; }
  CredHandle* Handle() noexcept { return &handle_; }

 private:
  CredHandle handle_{};
  bool valid_ = false;
};

}  // namespace vrk::schannel
