#pragma once
// Exceptions of the portable layer. Messages are kept as UTF-8 in what() so that
// std::exception handlers can print them; Message() gives the 16-bit text.

#include <stdexcept>
#include <string>
#include <string_view>

class EClearbayError : public std::runtime_error {
public:
  explicit EClearbayError(const std::string& Utf8Message);
  explicit EClearbayError(const char* Utf8Message);
  explicit EClearbayError(std::u16string_view Message);
  std::u16string Message() const;
};

// Stream failures: short reads/writes, bad seeks, files that cannot be opened.
class EStreamError : public EClearbayError {
public:
  using EClearbayError::EClearbayError;
};
class EReadError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// Text that is not a number, a bad format string, and the like.
class EConvertError : public EClearbayError {
public:
  using EClearbayError::EClearbayError;
};

// Index out of range, duplicates refused, insertion into a sorted list.
class EStringListError : public EClearbayError {
public:
  using EClearbayError::EClearbayError;
};

// INI text too large, or names a caller tries to write that the format cannot hold.
class EIniFileError : public EClearbayError {
public:
  using EClearbayError::EClearbayError;
};
