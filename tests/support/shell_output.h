#pragma once
// Outside readers (ffmpeg, ffprobe, mkvmerge) run as shell commands by the tests.

#include <string>

namespace tarnwell::testing {

// What the command wrote on standard output. An exit status above `worstStatus` fails the
// calling test (mkvmerge exits 1 for warnings).
std::string shellOutput(const std::string& command, int worstStatus = 0);

// Whether a program of that name is on PATH.
bool onPath(const char* program);

}  // namespace tarnwell::testing
