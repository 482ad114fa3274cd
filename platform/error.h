#pragma once
#include <stdexcept>
#include <string>

// The one error type of the program's layers: a programming or system error
// carrying its message ("Too many hook ids", "Stream is not seekable", ...).
// main() catches it, prints the message on standard error and exits with 1.
class TRuntimeError : public std::runtime_error {
  public:
    explicit TRuntimeError(const std::string& message) : std::runtime_error(message) {}
};
