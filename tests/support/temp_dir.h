#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwell::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of a name inside the folder, as a string.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Runs the rest of a scope with the current folder changed, and changes it back.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::filesystem::path& folder);
    ~CurrentFolder();

private:
    std::filesystem::path previous_;
};

}  // namespace tarnwell::testing
