#pragma once
// The subpicture decoder: turns one whole unit into a bitmap with its times, place and
// colours. Format knowledge only: no file I/O.
//
// Two unit forms occur. The HD form starts with a zero word, then a 4-byte big-endian unit
// size and the 4-byte offset of the first display control sequence; its commands carry 4-byte
// offsets, a 256-entry Y/Cr/Cb palette and 256 alpha bytes. The DVD form starts with a 2-byte
// size and a 2-byte offset, and its commands pick 4 colours and 4 contrasts. Both forms keep
// the bitmap as run-length coded lines, even and odd field apart (see subpicture_runs.h).
//
// The decoder never raises: it returns a reason instead of an image. It reads only inside the
// unit and its work is bounded by the unit's size and the screen.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "formats/subpicture_runs.h"

namespace tarnwell {

struct YCrCb {
    std::uint8_t y = 16, cr = 128, cb = 128;
    bool operator==(const YCrCb&) const = default;
};

// A decoded unit. Delays count in kSubpictureDelayTicks from the unit's PTS.
struct SubpictureImage {
    UnitForm form = UnitForm::Hd;
    std::int64_t startDelay = 0;
    std::int64_t stopDelay = -1;  // -1: the unit has no stop command
    bool forced = false;
    // Place on the screen; the area's corners are inclusive in the unit, so width = x2-x1+1.
    int x = 0, y = 0, width = 0, height = 0;
    // Colours by pixel value. The DVD form's four colours are drawn from a grey palette.
    // Where display sequences change colours or alpha (a fade), the state with the largest
    // alpha sum is kept.
    std::array<YCrCb, 256> palette{};
    std::array<std::uint8_t, 256> alpha{};  // 0 transparent .. 255 opaque
    std::vector<std::uint8_t> pixels;       // width*height values, line by line (when drawn)
    // Where the run-length code of the even and the odd field starts in the unit.
    std::array<std::size_t, 2> fieldOffsets{};
};

inline constexpr int kSubpictureScreenWidth = 1920;
inline constexpr int kSubpictureScreenHeight = 1080;
// Display control sequence delays count in units of this many 90 kHz ticks.
inline constexpr std::int64_t kSubpictureDelayTicks = 1024;
// The smallest unit of each form: its size field and the offset of its first display sequence.
inline constexpr std::size_t kHdUnitHeaderSize = 10;
inline constexpr std::size_t kDvdUnitHeaderSize = 4;

// The size field of a unit of `form` whose header bytes (6 of the HD form, 2 of the DVD
// form) `header` starts with.
std::size_t declaredUnitSize(std::span<const std::uint8_t> header, UnitForm form);

// How much of the bitmap the decoder does: draw it into `pixels`, only check that its runs
// lie inside the unit, or leave the runs to the caller (a SubpictureFieldReader per field).
enum class BitmapWork : std::uint8_t { Draw, Check, None };

struct SubpictureDecode {
    std::optional<SubpictureImage> image;
    std::string_view error;  // why the unit is unusable, when `image` is empty
};

SubpictureDecode decodeSubpictureUnit(std::span<const std::uint8_t> unit,
                                      BitmapWork work = BitmapWork::Draw);

// The grey that the DVD form's colour index 0..15 is drawn with.
YCrCb dvdGrey(int colourIndex);

}  // namespace tarnwell
