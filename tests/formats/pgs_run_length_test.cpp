// The PGS code that the writer makes straight from a unit's runs against the code made from the
// drawn bitmap, over fixture units of both forms and colour sizes, odd and full widths, areas
// that cut the runs at a narrower line or ask for more lines than were coded, and a field
// moved to the unit's very end, whole or cut short.

#include "formats/pgs_run_length.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "formats/subpicture_unit.h"
#include "subpicture_encoder.h"

namespace tarnwell::testing {
namespace {

using fixture::Bytes;

struct Case {
    const char* name;
    bool hd, eightBit;
    int colours, width, height;
    int narrower = 0, moreLines = 0;  // the area against the coded bitmap
    int cut = -1;                     // >= 0: the odd field moved to the end, less this many bytes
    bool decodes = true;
};

std::size_t find(const Bytes& unit, const Bytes& pattern) {
    return std::search(unit.begin(), unit.end(), pattern.begin(), pattern.end()) - unit.begin();
}

void putBig(Bytes& unit, std::size_t at, std::size_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) unit[at + i] = std::uint8_t(value >> (8 * (bytes - 1 - i)));
}

std::size_t big(const Bytes& unit, std::size_t at, int bytes) {
    std::size_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | unit[at + i];
    return value;
}

// The area command of a bitmap at (0, 16).
Bytes areaCommand(bool hd, int x2, int y2) {
    return {std::uint8_t(hd ? 0x85 : 0x05),
            0,
            std::uint8_t(x2 >> 8),
            std::uint8_t(x2),
            1,
            std::uint8_t(y2 >> 8),
            std::uint8_t(y2)};
}

Bytes unitFor(const Case& c) {
    fixture::SubpictureSpec s;
    s.hdForm = c.hd, s.eightBitRuns = c.eightBit, s.x = 0, s.y = 16;
    s.width = c.width, s.height = c.height;
    s.pixels = fixture::subpicturePattern(c.width, c.height, c.colours, 5);
    Bytes unit = fixture::encodeSubpictureUnit(s);
    const int offsetSize = c.hd ? 4 : 2;
    const std::size_t area = find(unit, areaCommand(c.hd, c.width - 1, 16 + c.height - 1));
    const Bytes changed =
        areaCommand(c.hd, c.width - 1 - c.narrower, 16 + c.height - 1 + c.moreLines);
    std::copy(changed.begin(), changed.end(), unit.begin() + long(area));
    if (c.cut >= 0) {
        // The odd field runs up to the first display sequence; the field command follows the
        // area's.
        const std::size_t fields = area + changed.size();
        const std::size_t odd = big(unit, fields + 1 + offsetSize, offsetSize);
        const std::size_t end = big(unit, c.hd ? 6 : 2, offsetSize);
        putBig(unit, fields + 1 + offsetSize, unit.size(), offsetSize);
        unit.insert(unit.end(), unit.begin() + long(odd), unit.begin() + long(end) - c.cut);
        putBig(unit, c.hd ? 2 : 0, unit.size(), offsetSize);
    }
    return unit;
}

TEST(PgsRunLength, FromTheRunsAsFromTheDrawnBitmap) {
    const Case cases[] = {
        {"HD 2-bit", true, false, 4, 333, 41},
        {"HD 8-bit", true, true, 256, 333, 41},
        {"HD both sizes", true, false, 256, 1920, 9},
        {"HD one pixel wide", true, false, 4, 1, 7},
        {"HD narrower area", true, false, 4, 333, 41, 5},
        {"HD 8-bit narrower", true, true, 256, 200, 30, 17},
        {"HD more lines", true, false, 4, 333, 41, 0, 3, -1, false},
        {"HD field at the end", true, false, 4, 333, 41, 0, 0, 0},
        {"HD 8-bit at the end", true, true, 256, 97, 40, 0, 0, 0},
        {"HD cut by a byte", true, false, 4, 333, 41, 0, 0, 1, false},
        {"HD 8-bit cut", true, true, 256, 97, 40, 0, 0, 2, false},
        {"DVD", false, false, 4, 333, 41},
        {"DVD at the end", false, false, 4, 51, 20, 0, 0, 0},
        {"DVD cut", false, false, 4, 51, 20, 0, 0, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes built = unitFor(c);
        const Bytes unit(built.begin(), built.end());  // no room past it, for the sanitizer
        const SubpictureDecode drawn = decodeSubpictureUnit(unit);
        const SubpictureDecode layout = decodeSubpictureUnit(unit, BitmapWork::None);
        ASSERT_TRUE(layout.image);
        EXPECT_EQ(drawn.image.has_value(), c.decodes) << drawn.error;
        const auto fromRuns = pgsRunLength(unit, *layout.image);
        ASSERT_EQ(fromRuns.has_value(), drawn.image.has_value());
        if (fromRuns) {
            EXPECT_EQ(*fromRuns, pgsRunLength(*drawn.image));
        }
    }
}

}  // namespace
}  // namespace tarnwell::testing
