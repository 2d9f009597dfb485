#pragma once
// Subpicture units: the assembler that cuts one subpicture stream's payload into units by the
// unit's own size field, and the decoder that turns one unit into a bitmap with its times,
// place and colours. Format knowledge only: no file I/O.
//
// Two unit forms occur. The HD form starts with a zero word, then a 4-byte big-endian unit
// size and the 4-byte offset of the first display control sequence; its commands carry 4-byte
// offsets, a 256-entry Y/Cr/Cb palette and 256 alpha bytes. The DVD form starts with a 2-byte
// size and a 2-byte offset, and its commands pick 4 colours and 4 contrasts. Both forms keep
// the bitmap as run-length coded lines, even and odd field apart.
//
// Bad units never raise: the assembler drops a unit whose size field or layout cannot be right
// with one log line and resumes at the next packet that carries a PTS; the decoder returns a
// reason instead of an image. The decoder reads only inside the unit and its work is bounded
// by the unit's size and the screen.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

enum class UnitForm : std::uint8_t { Hd, Dvd };

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

inline constexpr int kSubpictureScreenWidth = 1920;
inline constexpr int kSubpictureScreenHeight = 1080;
// Display control sequence delays count in units of this many 90 kHz ticks.
inline constexpr std::int64_t kSubpictureDelayTicks = 1024;
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

// How much of the bitmap the decoder does: draw it into `pixels`, only check that its runs
// lie inside the unit, or leave the runs to the caller (a SubpictureFieldReader per field).
enum class BitmapWork : std::uint8_t { Draw, Check, None };

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

struct SubpictureDecode {
    std::optional<SubpictureImage> image;
    std::string_view error;  // why the unit is unusable, when `image` is empty
};

SubpictureDecode decodeSubpictureUnit(std::span<const std::uint8_t> unit,
                                      BitmapWork work = BitmapWork::Draw);

// The grey that the DVD form's colour index 0..15 is drawn with.
YCrCb dvdGrey(int colourIndex);

// The log line for a unit that is skipped: names the stream and the unit's time.
std::string skippedUnitLine(std::string_view streamName, std::int64_t pts, std::string_view reason);

// Decodes a whole unit for a writer: a unit without a time stamp or one the decoder refuses
// is logged through `log` and gives nothing.
std::optional<SubpictureImage> decodeForOutput(const SubpictureUnit& unit,
                                               std::string_view streamName,
                                               const SubpictureAssembler::LogSink& log,
                                               BitmapWork work = BitmapWork::Draw);

}  // namespace tarnwell
