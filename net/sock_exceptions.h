// The error classes of the socket layer.
#pragma once

#include "framework/exceptions.h"

namespace vrk {

// Every failure of the socket component.
class ESockError : public Exception {
 public:
  using Exception::Exception;
};

// A transfer that was canceled or timed out; the component's TimedOut tells which.
class EAbortError : public ESockError {
 public:
  using ESockError::ESockError;
};

}  // namespace vrk
