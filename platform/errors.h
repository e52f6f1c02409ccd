// The exception base of the whole system and the platform's own error classes.
// Every error is an exception carrying its exact message text; nothing here shows a message.
#pragma once

#include <stdexcept>
#include <string>

namespace tavlo {

// Base of every error the system raises. what() is the message shown to the user.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  std::string Message() const { return what(); }
};

// Stream errors of the file layer.
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

// "Cannot open file %s"
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
  static EFOpenError ForPath(const std::string& path) {
    return EFOpenError("Cannot open file " + path);
  }
  // The same text followed by why: "Cannot open file /t/a.dbf: No such file or directory".
  static EFOpenError ForPath(const std::string& path, const std::string& reason) {
    return EFOpenError("Cannot open file " + path + ": " + reason);
  }
};

// "Cannot open file %s" because another program holds the file in a mode that excludes this
// open (a table being written elsewhere): callers may say so in plain words.
class EFShareError : public EFOpenError {
 public:
  using EFOpenError::EFOpenError;
  static EFShareError ForPath(const std::string& path) {
    return EFShareError("Cannot open file " + path);
  }
};

// "Cannot create file %s"
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
  static EFCreateError ForPath(const std::string& path) {
    return EFCreateError("Cannot create file " + path);
  }
  static EFCreateError ForPath(const std::string& path, const std::string& reason) {
    return EFCreateError("Cannot create file " + path + ": " + reason);
  }
};

// "Stream read error"
class EReadError : public EStreamError {
 public:
  EReadError() : EStreamError("Stream read error") {}
  using EStreamError::EStreamError;
  // "Stream read error: /t/a.dbf: Input/output error"
  static EReadError InFile(const std::string& path, const std::string& reason) {
    return EReadError("Stream read error: " + path + ": " + reason);
  }
};

// "Stream write error"
class EWriteError : public EStreamError {
 public:
  EWriteError() : EStreamError("Stream write error") {}
  using EStreamError::EStreamError;
  // "Stream write error: /t/a.dbf: No space left on device"
  static EWriteError InFile(const std::string& path, const std::string& reason) {
    return EWriteError("Stream write error: " + path + ": " + reason);
  }
};

// Text that does not convert to a number or date ("'%s' is not a valid floating point value").
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A file-system operation other than a stream open failed (folder creation, deletion, rename).
class EInOutError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace tavlo
