#include "io/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace tarnwell {

namespace {

std::string currentFolder() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

}  // namespace

std::string fullPath(std::string_view name) {
    std::string joined = (!name.empty() && name.front() == '/')
                             ? std::string(name)
                             : currentFolder() + "/" + std::string(name);
    // Fold "." and ".." and doubled separators, as the name would be resolved.
    std::vector<std::string_view> parts;
    std::string_view rest = joined;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const auto part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string result;
    for (const auto part : parts) {
        result += '/';
        result += part;
    }
    if (result.empty()) result = "/";
    // A name that ends in a separator names a folder; keep the separator.
    if (!name.empty() && name.back() == '/' && result.back() != '/') result += '/';
    return result;
}

std::string_view fileNamePart(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace tarnwell
