#pragma once
// Runs one of the project's programs (from $TARNWELL_BIN, else the test binary's own folder)
// and collects its exit status, standard output and standard error.

#include <functional>
#include <string>
#include <vector>

namespace tarnwell::testing {

struct ProcessResult {
    int status = -1;  // exit status, or 128 + signal number
    std::string out;
    std::string err;
    std::vector<std::string> outLines() const;
};

// The path of a program in the build's bin folder.
std::string programPath(const std::string& name);

// `whileRunning` is called with the output so far each time more arrives; returning true
// sends the process one SIGINT (once).
ProcessResult runProgram(const std::string& name, const std::vector<std::string>& arguments,
                         const std::string& workingFolder = {},
                         const std::function<bool(const std::string&)>& whileRunning = {});

}  // namespace tarnwell::testing
