// The error classes. Each carries a fixed English message; callers catch by class.
#pragma once

#include <exception>

#include "framework/text.h"

namespace vrk {

class Exception : public std::exception {
 public:
  explicit Exception(Text message) : message_(std::move(message)) {}
  const Text& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  Text message_;
};

class ERangeError : public Exception {
 public:
  ERangeError() : Exception("Range check error") {}
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

class EIniFileException : public Exception {
 public:
  using Exception::Exception;
};

class EOleSysError : public Exception {
 public:
  EOleSysError(Text message, long errorCode) : Exception(std::move(message)), errorCode_(errorCode) {}
  long ErrorCode() const noexcept { return errorCode_; }

 private:
  long errorCode_;
};

// File streams: "Cannot open file %s" and "Cannot create file %s".
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EFileOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFileCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// A string list index outside 0..Count-1.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace vrk
