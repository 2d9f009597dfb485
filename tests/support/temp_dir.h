#pragma once
// A fresh folder under the system's temporary folder (or in memory-backed storage), removed
// with everything in it.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwell::testing {

class TempDir {
  public:
    // Memory: in /dev/shm when the machine has it, else in the temporary folder. Holes of a
    // sparse file there read back without filling the page cache, which keeps tests over
    // files of gigabytes quick and light, and a fuzzer's files cost no disk.
    enum class Storage { Disk, Memory };

    explicit TempDir(Storage storage = Storage::Disk);
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
// The files the process holds open now (entries of /proc/self/fd), to tell that a run closed
// everything it opened.
int openFileCount();
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
