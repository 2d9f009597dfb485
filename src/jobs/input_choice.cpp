#include "jobs/input_choice.h"

#include <cctype>

#include "io/file_io.h"

namespace tarnwell {

namespace {

const std::string kEvoFolderTail = std::string("HVDVD_TS") + kPathSeparator;
const std::string kXplFolderTail = std::string("ADV_OBJ") + kPathSeparator;

// From the last dot of the name on, dot included, in upper case; "" without a dot.
std::string upperExtension(std::string_view path) {
    const auto name = fileNamePart(path);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string extension(name.substr(dot));
    for (auto& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return extension;
}

}  // namespace

std::string folderPart(std::string_view path) {
    const auto slash = path.rfind(kPathSeparator);
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

void InputChoice::chooseEvo(std::string_view path, Host& host) {
    evoField_ = std::string(path);
    EVOadj(host);
}

void InputChoice::chooseXpl(std::string_view path, Host& host) {
    xplField_ = std::string(path);
    XPLadj(host);
}

void InputChoice::restore(const InputChoice& saved, Host& host) {
    auto view = std::move(onFieldsChanged);
    *this = saved;
    onFieldsChanged = std::move(view);
    host.setCommandEnabled(Command::ReadEvo, !evoField_.empty());
    host.setCommandEnabled(Command::ReadXpl, !XPLname.empty());
    fieldsChanged();
}

bool InputChoice::dropFiles(const std::vector<std::string>& files, Host& host) {
    if (files.empty()) return false;
    const std::string& first = files.front();
    const auto extension = upperExtension(first);
    if (extension == ".EVO") {
        chooseEvo(first, host);
        return true;
    }
    if (extension == ".XPL") {
        chooseXpl(first, host);
        return true;
    }
    return false;
}

void InputChoice::EVOadj(Host& host) {
    host.setCommandEnabled(Command::ReadEvo, !evoField_.empty());
    EVOname = std::string(fileNamePart(evoField_));
    EVObase = EVOname.size() > 4 ? EVOname.substr(0, EVOname.size() - 4) : std::string();
    EVOdir = folderPart(evoField_);
    xplField_ = std::string(kPlaylistName);
    if (std::string_view(EVOdir).ends_with(kEvoFolderTail)) {
        XPLdir = EVOdir.substr(0, EVOdir.size() - kEvoFolderTail.size()) + kXplFolderTail;
        XPLname = std::string(kPlaylistName);
        xplDialogFileName = XPLname;
        xplField_ = XPLdir + XPLname;
    }
    host.setCommandEnabled(Command::ReadXpl, !XPLname.empty());
    fieldsChanged();
}

void InputChoice::XPLadj(Host& host) {
    XPLname = std::string(fileNamePart(xplField_));
    XPLdir = folderPart(xplField_);
    host.setCommandEnabled(Command::ReadXpl, !XPLname.empty());
    if (std::string_view(XPLdir).ends_with(kXplFolderTail))
        EVOdir = XPLdir.substr(0, XPLdir.size() - kXplFolderTail.size()) + kEvoFolderTail;
    fieldsChanged();
}

}  // namespace tarnwell
