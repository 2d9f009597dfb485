#pragma once
// The errors of the file layer.

#include <stdexcept>

namespace tarnwell {

// An error of the file layer (open, create, read, write) or of a number conversion; its
// text is what the window shows in the message box and the command line prints.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kStreamWriteError = "Stream write error";
inline constexpr const char* kStreamReadError = "Stream read error";

}  // namespace tarnwell
