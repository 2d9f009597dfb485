#pragma once
// Paths as the user sees them in error texts and log lines.

#include <string>
#include <string_view>

namespace tarnwell {

// A relative name expanded against the current folder (lexically: "." and ".." are folded).
std::string fullPath(std::string_view name);
// The file name part of a path (after the last '/').
std::string_view fileNamePart(std::string_view path);
// True only for an existing file; false for a folder or a missing path.
bool fileExists(const std::string& path);

}  // namespace tarnwell
