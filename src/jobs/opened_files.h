#pragma once
// The guarded block of a job: the files it opened, closed exactly once whatever happens.
// On the normal path `close()` closes the input, then the outputs in the order they were
// added, then those added with `addLast`; a flush or close failure becomes the job's error,
// raised only after every other file is closed too. When the job is unwinding an error
// instead, the destructor closes whatever is still open without raising, so the first error
// is the one the user sees. The block also owns the job's write-behind: the outputs added
// hand their full buffers to it during the job's passes, and its thread ends with the block,
// after every file is closed.

#include <vector>

#include "io/file_io.h"

namespace tarnwell {

class OpenedFiles {
  public:
    // The job's input file, which it opens after this point (or fails to).
    explicit OpenedFiles(InputFile& input) : input_(input) {}
    ~OpenedFiles();
    OpenedFiles(const OpenedFiles&) = delete;
    OpenedFiles& operator=(const OpenedFiles&) = delete;

    // An output file the job has created; closed after the input, in the order added.
    void add(OutputFile& file) {
        file.writeBehind(&writeBehind_);
        outputs_.push_back(&file);
    }
    // An output file closed after every file given to `add`.
    void addLast(OutputFile& file) {
        file.writeBehind(&writeBehind_);
        lastOutputs_.push_back(&file);
    }
    // The write-behind of the job's passes (WriteBehind::Pass).
    WriteBehind& writeBehind() { return writeBehind_; }

    // Closes everything; throws the first close failure ("Stream write error") afterwards.
    void close();

  private:
    InputFile& input_;
    std::vector<OutputFile*> outputs_;
    std::vector<OutputFile*> lastOutputs_;
    // Destroyed after the destructor closed the files.
    WriteBehind writeBehind_;
};

}  // namespace tarnwell
