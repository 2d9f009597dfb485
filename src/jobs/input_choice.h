#pragma once
// The chosen input files: the EVO and playlist fields, the names and folders derived from
// them, and the HD DVD disc layout rule (video objects in HVDVD_TS, the playlist
// VPLST000.XPL in ADV_OBJ beside it) that finds one file from the other.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/host.h"

namespace tarnwell {

inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPlaylistName = "VPLST000.XPL";

// The folder part of a path, with its trailing separator ("" when there is none).
std::string folderPart(std::string_view path);

class InputChoice {
  public:
    // The fields `eEVOfile` and `eXPLfile`; the jobs open their input by these texts.
    const std::string& evoField() const { return evoField_; }
    const std::string& xplField() const { return xplField_; }

    // Puts a path into a field and runs the matching adjustment.
    void chooseEvo(std::string_view path, Host& host);
    void chooseXpl(std::string_view path, Host& host);

    // Puts back a choice saved before (a copy of this one), enabling Read EVO / Read XPL as
    // it had them, so a view shows the old texts again.
    void restore(const InputChoice& saved, Host& host);

    // Files dropped on the window: the first one only, by its extension (".EVO" or ".XPL",
    // any letter case); any other extension changes nothing. Returns whether it was taken.
    bool dropFiles(const std::vector<std::string>& files, Host& host);

    // Derive names and folders after a change of a field, and enable Read EVO / Read XPL.
    void EVOadj(Host& host);
    void XPLadj(Host& host);

    // Program-wide names, all empty at start.
    std::string EVOdir;   // folder of the EVO file, with the trailing separator
    std::string EVOname;  // the EVO file's name without folder
    std::string EVObase;  // EVOname without its last four characters
    std::string XPLdir;   // folder of the playlist, with the trailing separator
    std::string XPLname;  // the playlist's name without folder

    // The file name the playlist dialog offers.
    std::string xplDialogFileName;

    // Called after either field changed, so a view can show the new texts.
    std::function<void()> onFieldsChanged;

  private:
    void fieldsChanged() {
        if (onFieldsChanged) onFieldsChanged();
    }

    std::string evoField_;
    std::string xplField_;
};

}  // namespace tarnwell
