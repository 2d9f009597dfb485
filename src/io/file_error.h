#pragma once
// The errors that end a job. Their text is what the window shows in the message box and the
// command line prints; the type tells a caller which part failed.

#include <stdexcept>

namespace tarnwell {

// Every error that ends a job with a message for the user; a caller that shows any of them
// catches this one.
class JobError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// An error of the file layer: open, create, read, write.
class FileError : public JobError {
  public:
    using JobError::JobError;
};

// A playlist that cannot be read as one: a disc's playlist that is missing or not well-formed
// XML, or an item index that Read XPL cannot take as an integer.
class PlaylistError : public JobError {
  public:
    using JobError::JobError;
};

inline constexpr const char* kStreamWriteError = "Stream write error";
inline constexpr const char* kStreamReadError = "Stream read error";

}  // namespace tarnwell
