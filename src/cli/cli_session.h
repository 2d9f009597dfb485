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

// Returns kExitOk when every job ended normally (a cancel is normal), kExitJobError when one
// ended on an error; no job starts after an error or an interrupt.
int runSession(const CliRequest& request, std::FILE* out, std::FILE* err, bool showProgress);

}  // namespace tarnwell::cli
