// The library's exceptions. Every failure is an exception that carries only a message, and the
// message is the text the user sees; what() gives the same text in UTF-8 for logs and tests.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "lib/dlx_string.h"

namespace dlx {

class EDLXException : public std::exception {
 public:
  explicit EDLXException(String message);
  const String& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  String message_;
  std::string utf8_;
};

// A stream ended before the bytes a reader needed.
class EDLXStreamReadError : public EDLXException {
 public:
  EDLXStreamReadError() : EDLXException(u"Stream read error") {}
};

// A stream took fewer bytes than were written to it (a full disk, for example).
class EDLXStreamWriteError : public EDLXException {
 public:
  EDLXStreamWriteError() : EDLXException(u"Stream write error") {}
};

class EDLXArgumentOutOfRange : public EDLXException {
 public:
  EDLXArgumentOutOfRange() : EDLXException(u"Argument out of range") {}
};

// A failed operating-system call: the system's error code and its message text.
class EDLXOSError : public EDLXException {
 public:
  EDLXOSError(uint32_t code, String message) : EDLXException(std::move(message)), code_(code) {}
  uint32_t Code() const noexcept { return code_; }

 private:
  uint32_t code_;
};

// The silent abort: ends an operation quietly and is never reported to the user.
class EDLXAbort : public EDLXException {
 public:
  EDLXAbort() : EDLXException(u"Operation aborted") {}
};

}  // namespace dlx
