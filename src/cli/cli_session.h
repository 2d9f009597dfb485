#pragma once
// One run of the command line: the jobs of its subcommand, in order, driven through `Commands`
// as the window's buttons drive them, with the log on `out` and errors (and, when wanted, the
// live progress line) on `err`.

#include <cstdio>

#include "cli/cli_request.h"

namespace tarnwell::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitJobError = 1;
inline constexpr int kExitUsage = 2;
// `read --json` interrupted before its document was written (128 + SIGINT, as a shell reports
// a command that Ctrl-C ended): a script must not take the empty output for a read.
inline constexpr int kExitInterrupted = 130;

// Returns kExitOk when every job ended normally (a cancel is normal), kExitJobError when one
// ended on an error, kExitInterrupted when an interrupt left `read --json` without its
// document; no job starts after an error or an interrupt.
int runSession(const CliRequest& request, std::FILE* out, std::FILE* err, bool showProgress);

}  // namespace tarnwell::cli
