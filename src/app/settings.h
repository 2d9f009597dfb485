#pragma once
// The settings kept from one run to the next: window place, size and state, the playlist
// tree's width, the options and the last folders of the two inputs. They live in the per-user
// store of QSettings ("Ormsby Software", "Tarnwell"): an INI file in the user's configuration
// folder on Linux, the registry key Software\Ormsby Software\Tarnwell on Windows.
//
// Types as stored and as accepted on reading:
// - integer: written as a number. Read as a number, or (the INI file gives every plain value
//   back as text) as a text of an optional sign followed by decimal digits. Anything else, such
//   as "abc", "5.0", an empty text or binary data, is "Invalid data type for '%s'"; a number
//   outside the signed 32-bit range is "Failed to get data for '%s'".
// - flag: an integer, 1 for true and 0 for false; any other number reads as true.
// - text: written and read as text. A number is taken as the text of its digits (the INI file
//   can't tell the two apart); binary data or a list is "Invalid data type for '%s'".
// - date-time (`Install`): 8 bytes, the little-endian IEEE double of days since 1899-12-30
//   00:00 local time; written once, never read.
//
// After `CountFrames` come three newer values, written only once they have left their defaults:
// `Matroska` (flag, the box "Matroska-ready files", off), `MakeMkv` (flag, the box "Make MKV
// with mkvmerge", off) and `SubpictureForm` (integer, the user's own choice of subpicture form:
// 0 raw, 1 HD-DVD SUP, 2 PGS; any other number reads as 0).

#include <QString>
#include <QStringList>
#include <stdexcept>

namespace tarnwell {

class TfMain;

inline constexpr const char* kOrganisation = "Ormsby Software";
inline constexpr const char* kApplication = "Tarnwell";

class SettingsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Gives the application the names the settings store goes by. It sets no display name: the
// platforms would append one to every window caption.
void nameApplication();

// The value names in the order RegWrite stores them, without the two written only when changed.
QStringList settingNames();

// Loads the stored values into the window; stops with SettingsError at the first bad value,
// the values before it applied.
void RegRead(TfMain& form);
// Stores the values; stops with SettingsError at the first value that can't be stored. A store
// that can't be opened for writing is left alone without a message.
void RegWrite(TfMain& form);

}  // namespace tarnwell
