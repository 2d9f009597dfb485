#pragma once
#include <string>

namespace tarnwell::testing {

// Leaves a UNIX socket at `path`: it exists and is not a folder, but opening it for reading
// fails ("No such device or address"), which is how a file that vanished or got locked between
// the existence test and the open shows up.
void makeSocketFile(const std::string& path);

}  // namespace tarnwell::testing
