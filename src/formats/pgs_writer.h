#pragma once
// A subpicture stream as Blu-ray presentation graphics (a PGS ".sup"): per unit one display
// set at its start time that shows its bitmap at its place on a 1920x1080 screen with its
// palette and alpha mapped entry for entry, and one display set at its stop time that clears
// it. The object code is pgs_run_length.h's, the times pgs_timing.h's; skipped units are
// logged.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "formats/pgs_timing.h"
#include "formats/subpicture_unit.h"
#include "io/file_io.h"

namespace tarnwell {

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
    PgsTiming timing_;
    std::string streamName_;
    SubpictureAssembler::LogSink log_;
    std::uint16_t compositionNumber_ = 0;
    std::vector<std::uint8_t> window_;  // the shown unit's window: x, y, width, height
    PgsConversion conversion_;          // for `write(unit)`, its room kept
};

}  // namespace tarnwell
