#pragma once
// Subpicture units: the assembler that cuts one subpicture stream's payload into units by the
// unit's own size field, checks each whole unit with the decoder (subpicture_decoder.h) and
// hands it on with its time stamp. Format knowledge only: no file I/O.
//
// Bad units never raise: the assembler drops a unit whose size field or layout cannot be right
// with one log line and resumes at the next packet that carries a PTS.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/subpicture_decoder.h"

namespace tarnwell {

// One whole unit as it stood in the stream, tagged with the PTS of the packet in which its
// first byte came, or the last PTS seen on the stream before that (-1: none seen yet).
struct SubpictureUnit {
    std::vector<std::uint8_t> bytes;
    std::int64_t pts = -1;
    UnitForm form = UnitForm::Hd;
    // The unit's layout as the assembler's check decoded it (without its bitmap), so that a
    // writer need not decode it again.
    std::optional<SubpictureImage> layout;
};

// Larger size fields are taken as damage: no unit of a 1920x1080 screen needs this much.
inline constexpr std::size_t kMaxSubpictureUnitSize = 8 * 1024 * 1024;

// Cuts the payload of one subpicture stream into units. The chunks of all packets of the
// stream are fed in stream order, across files; a unit may start inside the packet in which
// the previous one ended, and may span any number of packets and calls.
//
// A unit whose size field is refused, or whose display control sequences and bitmap offsets
// the decoder finds outside it once it is whole, is dropped with one log line, and assembly
// starts again at the first packet with a PTS after the unit's start: when such packets began
// inside the dropped unit (its size was too large and took in the units after it), its bytes
// from there are assembled again, so damage costs the damaged unit and at most the one it
// overlaps. The same holds for an incomplete last unit; what is assembled again from it and
// does not make a whole unit is not logged a second time. What is assembled again stays within
// a few times the stream's own size, however the damage falls.
class SubpictureAssembler {
  public:
    using UnitSink = std::function<void(SubpictureUnit&&)>;
    using LogSink = std::function<void(std::string_view)>;

    // `streamName` names the stream in the log lines (e.g. the stream's caption).
    SubpictureAssembler(std::string streamName, UnitSink onUnit, LogSink log);

    // `packetStarts`: the chunk is the first of its packet's payload; `pts`: that packet's
    // 33-bit PTS, or -1 when its header carries none.
    void feed(std::span<const std::uint8_t> chunk, bool packetStarts, std::int64_t pts);
    // The end of the stream: an incomplete last unit is dropped and logged.
    void finish();

  private:
    // Where a packet with a PTS started inside the unit being assembled.
    struct Mark {
        std::size_t offset;
        std::int64_t pts;
    };
    enum class Taken : std::uint8_t { Partly, Whole, Refused };

    void ptsPacket(std::int64_t pts);
    // Takes bytes into the unit until it is whole or refused, or the bytes run out; returns
    // how many it took and what became of the unit.
    std::pair<std::size_t, Taken> take(std::span<const std::uint8_t> bytes);
    // Drops the unit; its bytes from its first inner PTS packet on, followed by what is still
    // to be assembled again, become the bytes to assemble again.
    void refuse(std::span<const std::uint8_t> stillToReplay,
                std::span<const Mark> stillToReplayMarks);
    void replay();
    void clearUnit();

    std::string streamName_;
    UnitSink onUnit_;
    LogSink log_;
    std::vector<std::uint8_t> unit_;
    std::vector<Mark> marks_;
    std::size_t unitSize_ = 0;  // 0 while the size field is not complete
    std::int64_t unitPts_ = -1;
    std::int64_t lastPts_ = -1;
    bool skipping_ = false;    // until the next packet with a PTS
    bool quiet_ = false;       // refusals are not logged (what an incomplete last unit held)
    std::string_view reason_;  // why `take` refused the unit
    std::uint64_t fed_ = 0, replayed_ = 0;  // bytes fed, and assembled again
    std::vector<std::uint8_t> replay_;
    std::vector<Mark> replayMarks_;  // offsets into replay_
};

// The log line for a unit that is skipped: names the stream and the unit's time.
std::string skippedUnitLine(std::string_view streamName, std::int64_t pts, std::string_view reason);

// Decodes a whole unit for a writer: a unit without a time stamp or one the decoder refuses
// is logged through `log` and gives nothing.
std::optional<SubpictureImage> decodeForOutput(const SubpictureUnit& unit,
                                               std::string_view streamName,
                                               const SubpictureAssembler::LogSink& log,
                                               BitmapWork work = BitmapWork::Draw);

}  // namespace tarnwell
