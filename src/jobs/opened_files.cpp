#include "jobs/opened_files.h"

#include <optional>

namespace tarnwell {

OpenedFiles::~OpenedFiles() {
    input_.close();
    for (auto* file : outputs_) file->closeQuietly();
    for (auto* file : lastOutputs_) file->closeQuietly();
}

void OpenedFiles::close() {
    input_.close();
    std::optional<FileError> firstFailure;
    const auto closeEach = [&firstFailure](const std::vector<OutputFile*>& files) {
        for (auto* file : files) {
            try {
                file->close();
            } catch (const FileError& failure) {
                if (!firstFailure) firstFailure = failure;
            }
        }
    };
    closeEach(outputs_);
    closeEach(lastOutputs_);
    outputs_.clear();
    lastOutputs_.clear();
    if (firstFailure) throw *firstFailure;
}

}  // namespace tarnwell
