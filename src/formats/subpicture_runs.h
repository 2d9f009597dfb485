#pragma once
// The run-length code of a subpicture unit's bitmap: the one reader of the HD form's run codes
// (the decoder's field reader and the PGS writer's straight conversion both read through it),
// and the field reader that gives the runs of one field a line at a time in either form.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarnwell {

enum class UnitForm : std::uint8_t { Hd, Dvd };

// One HD form run code: its colour, its length in pixels (kToLineEnd: the rest of the line)
// and the bits it takes.
struct HdRunCode {
    static constexpr std::uint32_t kToLineEnd = 0xFFFF;  // longer than any line
    static constexpr int kLongest = 18;                  // bits of the longest code

    std::uint32_t colour = 0;
    std::uint32_t length = 1;
    int colourBits = 2;
    int bits = 0;
};

// The run code whose first bit is bit 63 of `peek`; bits past the coded data must read as 0
// (a code that takes more bits than there were is past the data). The code: run flag, colour
// size (2 or 8 bits), colour, then for a run the length size (3 bits + 2, or 7 bits + 9 with
// 0 meaning the rest of the line).
constexpr HdRunCode hdRunCode(std::uint64_t peek) {
    const auto field = [peek](int at, int count) {
        return static_cast<std::uint32_t>(peek >> (64 - at - count)) & ((1u << count) - 1);
    };
    HdRunCode code;
    code.colourBits = field(1, 1) ? 8 : 2;
    code.colour = field(2, code.colourBits);
    code.bits = 2 + code.colourBits;
    if (field(0, 1)) {
        const bool wide = field(code.bits, 1) != 0;
        const std::uint32_t length = field(code.bits + 1, wide ? 7 : 3);
        code.length = !wide ? length + 2 : length == 0 ? HdRunCode::kToLineEnd : length + 9;
        code.bits += wide ? 8 : 4;
    }
    return code;
}

// One run of a line: `length` pixels of value `colour`.
struct SubpictureRun {
    std::uint8_t colour = 0;
    std::uint32_t length = 0;
};

// Reads the run-length code of one field a line at a time, in either form: each line's runs
// fill its width exactly (a run past the line's end is cut at it, a run to the line's end
// fills the rest). Reads only inside the unit.
class SubpictureFieldReader {
  public:
    SubpictureFieldReader(std::span<const std::uint8_t> unit, std::size_t offset, UnitForm form,
                          int width);
    // The runs of the field's next line into `runs` (emptied first); false when the code
    // passes the unit's end.
    bool nextLine(std::vector<SubpictureRun>& runs);

  private:
    void refill();
    std::uint32_t bits(int count);
    std::uint32_t hdRun(std::uint8_t& colour);
    std::uint32_t dvdRun(std::uint8_t& colour);

    std::span<const std::uint8_t> unit_;
    std::size_t next_;
    UnitForm form_;
    std::uint32_t width_;
    std::uint64_t cache_ = 0;
    int cached_ = 0;
    bool failed_ = false;
};

}  // namespace tarnwell
