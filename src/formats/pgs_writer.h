#pragma once
// A subpicture stream as Blu-ray presentation graphics (a PGS ".sup"): per unit one display
// set at its start time that shows its bitmap at its place on a 1920x1080 screen with its
// palette and alpha mapped entry for entry, and one display set at its stop time that clears
// it. Times count in 90 kHz ticks from a given origin (the first PTS of video stream 0),
// 33-bit wrap-aware. A unit without a stop command is cleared when the next unit shows, or
// kDefaultShowTicks after its start when it is the last; a clear that would come after the
// next unit's start comes at that start. Units before the origin, and units that start before
// the unit shown before them (damage moved their time stamp), are skipped and logged, so the
// times in the file never go back.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/file_io.h"
#include "formats/subpicture_unit.h"

namespace tarnwell {

// The object bitmap as PGS run-length code: each line ends with 00 00; colour 0 runs and
// other runs take the shortest of the 1- to 4-byte forms.
std::vector<std::uint8_t> pgsRunLength(const SubpictureImage& image);
// The same code straight from the runs of the unit whose layout `image` holds (its pixels
// need not be drawn); nothing when the runs pass the unit's end.
std::optional<std::vector<std::uint8_t>> pgsRunLength(std::span<const std::uint8_t> unit,
                                                      const SubpictureImage& image);
// The same into `out` (its bytes replaced, its room kept for the next unit); false when the
// runs pass the unit's end.
bool pgsRunLength(std::span<const std::uint8_t> unit, const SubpictureImage& image,
                  std::vector<std::uint8_t>& out);

// What writing a unit takes that needs neither the file nor the log, so that another thread
// may work it out: the unit's layout and its object's run-length code.
struct PgsConversion {
    SubpictureDecode decoded;        // left empty for a unit without a time stamp
    bool runsFit = false;            // `code` holds the object's code
    std::vector<std::uint8_t> code;  // its room kept when the conversion is used again

    void convert(const SubpictureUnit& unit);
};

class PgsWriter {
  public:
    static constexpr std::int64_t kDefaultShowTicks = 5 * 90000;

    PgsWriter(OutputFile& out, std::int64_t originPts, std::string streamName,
              SubpictureAssembler::LogSink log);
    void write(const SubpictureUnit& unit);
    // The same with the unit's conversion already made.
    void write(const SubpictureUnit& unit, const PgsConversion& conversion);
    // Writes the clearing display set of the last unit.
    void finish();

  private:
    // One segment, its body written from the parts in turn.
    void segment(std::uint8_t type, std::uint32_t time,
                 std::initializer_list<std::span<const std::uint8_t>> body);
    void showSet(std::uint32_t time, const SubpictureImage& image,
                 std::span<const std::uint8_t> data);
    void clearSet(std::uint32_t time);

    OutputFile& out_;
    std::int64_t originPts_;
    std::string streamName_;
    SubpictureAssembler::LogSink log_;
    std::uint16_t compositionNumber_ = 0;
    // The clear still owed for the unit shown last: its time (or none when it has no stop).
    bool clearOwed_ = false;
    std::optional<std::uint32_t> clearTime_;
    std::uint32_t shownAt_ = 0;
    std::vector<std::uint8_t> window_;  // the shown unit's window: x, y, width, height
    PgsConversion conversion_;          // for `write(unit)`, its room kept
};

}  // namespace tarnwell
