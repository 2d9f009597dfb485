#include "formats/subpicture_decoder.h"

#include <algorithm>
#include <utility>

namespace tarnwell {

namespace {

std::uint32_t be16(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t{b[at]} << 8 | b[at + 1];
}
std::uint32_t be32(std::span<const std::uint8_t> b, std::size_t at) {
    return be16(b, at) << 16 | be16(b, at + 2);
}

// A unit with more display control sequences than this is taken as an endless chain.
constexpr int kMaxSequences = 256;

// ---- Display control commands ------------------------------------------------------------

// What a command sets; its argument follows the command byte.
enum class Sets : std::uint8_t {
    Start,        // the start delay (the first in the unit counts)
    ForcedStart,  // the same, and the unit is forced
    Stop,         // the stop delay (the first in the unit counts)
    End,          // the end of the display sequence
    Palette,      // HD: 256 x Y, Cr, Cb
    Alpha,        // HD: 256 stored alpha bytes (255 - alpha)
    DvdColours,   // DVD: four colour nibbles, the first for pixel value 3
    DvdContrast,  // DVD: four contrast nibbles, the same order
    Area,         // x1, x2, y1, y2 in 12 bits each
    Fields,       // the offsets of the even and the odd field
};

enum Forms : std::uint8_t { kHd = 1, kDvd = 2, kBoth = kHd | kDvd };

struct ControlCommand {
    std::uint8_t code;
    std::uint8_t forms;    // the unit forms in which the code means this
    std::size_t argument;  // bytes after the command byte
    Sets sets;
};

// Every command either form knows; any other code makes the unit unusable.
// clang-format off
constexpr ControlCommand kControlCommands[] = {
    {0x00, kBoth, 0, Sets::ForcedStart},
    {0x01, kBoth, 0, Sets::Start},
    {0x02, kBoth, 0, Sets::Stop},
    {0xFF, kBoth, 0, Sets::End},
    {0x83, kHd, 768, Sets::Palette},
    {0x84, kHd, 256, Sets::Alpha},
    {0x03, kDvd, 2, Sets::DvdColours},
    {0x04, kDvd, 2, Sets::DvdContrast},
    {0x85, kBoth, 6, Sets::Area},
    {0x05, kBoth, 6, Sets::Area},
    {0x86, kHd, 8, Sets::Fields},
    {0x06, kDvd, 4, Sets::Fields},
};
// clang-format on

const ControlCommand* controlCommand(std::uint8_t code, UnitForm form) {
    const std::uint8_t mask = form == UnitForm::Hd ? kHd : kDvd;
    for (const ControlCommand& command : kControlCommands)
        if (command.code == code && (command.forms & mask) != 0) return &command;
    return nullptr;
}

struct ColourState {
    std::array<YCrCb, 256> palette{};
    std::array<std::uint8_t, 256> alpha{};
    int sum() const {
        int total = 0;
        for (auto a : alpha) total += a;
        return total;
    }
};

// The DVD form's colour and contrast arguments: four nibbles, the first for pixel value 3.
std::array<int, 4> nibbles(std::span<const std::uint8_t> unit, std::size_t at) {
    return {unit[at + 1] & 0x0F, unit[at + 1] >> 4, unit[at] & 0x0F, unit[at] >> 4};
}

// What the display control sequences of one unit set, command by command.
class DisplayControl {
  public:
    DisplayControl(std::span<const std::uint8_t> unit, SubpictureImage& image)
        : unit_(unit), image_(image), hd_(image.form == UnitForm::Hd) {
        if (!hd_) applyDvdColours();
    }

    // Reads the chain of sequences from the one at `sequence`; the reason when it is unusable.
    std::string_view read(std::size_t sequence);
    // The area and fields read, checked against the screen and the unit.
    std::string_view finish();

  private:
    std::size_t offsetAt(std::size_t at) const { return hd_ ? be32(unit_, at) : be16(unit_, at); }
    std::size_t offsetSize() const { return hd_ ? 4 : 2; }
    std::string_view readSequence(std::size_t sequence, std::size_t header);
    void apply(const ControlCommand& command, std::size_t at, std::int64_t delay);
    void applyDvdColours() {
        for (int v = 0; v < 4; ++v) {
            colours_.palette[v] = dvdGrey(dvdColours_[v]);
            colours_.alpha[v] = static_cast<std::uint8_t>(dvdContrast_[v] * 17);
        }
    }

    std::span<const std::uint8_t> unit_;
    SubpictureImage& image_;
    bool hd_;
    ColourState colours_, best_;
    int bestSum_ = -1;
    std::array<int, 4> dvdColours_{0, 1, 2, 3};
    std::array<int, 4> dvdContrast_{0, 15, 15, 15};
    bool started_ = false, stopped_ = false, haveArea_ = false, haveFields_ = false;
    std::size_t fieldOffset_[2] = {0, 0};
    int x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

void DisplayControl::apply(const ControlCommand& command, std::size_t at, std::int64_t delay) {
    const auto twelve = [&](std::size_t from, bool high) {
        return high ? static_cast<int>(unit_[from] << 4 | unit_[from + 1] >> 4)
                    : static_cast<int>((unit_[from] & 0x0F) << 8 | unit_[from + 1]);
    };
    switch (command.sets) {
        case Sets::ForcedStart:
            image_.forced = true;
            [[fallthrough]];
        case Sets::Start:
            if (!started_) image_.startDelay = delay;
            started_ = true;
            break;
        case Sets::Stop:
            if (!stopped_) image_.stopDelay = delay;
            stopped_ = true;
            break;
        case Sets::End:
            break;
        case Sets::Palette:
            for (int i = 0; i < 256; ++i)
                colours_.palette[i] = {unit_[at + 3 * i], unit_[at + 3 * i + 1],
                                       unit_[at + 3 * i + 2]};
            break;
        case Sets::Alpha:
            for (int i = 0; i < 256; ++i)
                colours_.alpha[i] = static_cast<std::uint8_t>(255 - unit_[at + i]);
            break;
        case Sets::DvdColours:
            dvdColours_ = nibbles(unit_, at);
            applyDvdColours();
            break;
        case Sets::DvdContrast:
            dvdContrast_ = nibbles(unit_, at);
            applyDvdColours();
            break;
        case Sets::Area:
            x1_ = twelve(at, true), x2_ = twelve(at + 1, false);
            y1_ = twelve(at + 3, true), y2_ = twelve(at + 4, false);
            haveArea_ = true;
            break;
        case Sets::Fields:
            fieldOffset_[0] = offsetAt(at);
            fieldOffset_[1] = offsetAt(at + offsetSize());
            haveFields_ = true;
            break;
    }
}

std::string_view DisplayControl::readSequence(std::size_t sequence, std::size_t header) {
    if (sequence < header || sequence + 2 + offsetSize() > unit_.size())
        return "display control sequence outside the unit";
    const std::int64_t delay = be16(unit_, sequence);
    std::size_t at = sequence + 2 + offsetSize();
    for (bool end = false; !end;) {
        if (at >= unit_.size()) return "command cut short";
        const ControlCommand* command = controlCommand(unit_[at++], image_.form);
        if (command == nullptr) return "unknown command";
        if (at + command->argument > unit_.size()) return "command cut short";
        apply(*command, at, delay);
        end = command->sets == Sets::End;
        at += command->argument;
    }
    if (const int sum = colours_.sum(); sum > bestSum_) {
        bestSum_ = sum;
        best_ = colours_;
    }
    return {};
}

std::string_view DisplayControl::read(std::size_t sequence) {
    const std::size_t header = hd_ ? kHdUnitHeaderSize : kDvdUnitHeaderSize;
    for (int count = 0;; ++count) {
        if (count == kMaxSequences) return "endless display control sequences";
        if (const std::string_view error = readSequence(sequence, header); !error.empty())
            return error;
        const std::size_t next = offsetAt(sequence + 2);
        if (next == sequence) return {};
        // Sequences only go forward, so every chain ends.
        if (next < sequence) return "endless display control sequences";
        sequence = next;
    }
}

std::string_view DisplayControl::finish() {
    if (!haveArea_ || !haveFields_) return "no bitmap";
    if (x2_ < x1_ || y2_ < y1_) return "bad area";
    if (x2_ >= kSubpictureScreenWidth || y2_ >= kSubpictureScreenHeight)
        return "area larger than the screen";
    if (fieldOffset_[0] >= unit_.size() || fieldOffset_[1] >= unit_.size())
        return "bitmap offset outside the unit";
    image_.x = x1_;
    image_.y = y1_;
    image_.width = x2_ - x1_ + 1;
    image_.height = y2_ - y1_ + 1;
    image_.palette = best_.palette;
    image_.alpha = best_.alpha;
    image_.fieldOffsets = {fieldOffset_[0], fieldOffset_[1]};
    return {};
}

// The bitmap's lines of one field, drawn into the image or only read.
bool walkField(std::span<const std::uint8_t> unit, SubpictureImage& image, int field,
               BitmapWork work) {
    SubpictureFieldReader in(unit, image.fieldOffsets[field], image.form, image.width);
    std::vector<SubpictureRun> runs;
    for (int line = field; line < image.height; line += 2) {
        if (!in.nextLine(runs)) return false;
        if (work != BitmapWork::Draw) continue;
        std::uint8_t* row = image.pixels.data() +
                            static_cast<std::size_t>(line) * static_cast<std::size_t>(image.width);
        for (const auto& run : runs) row = std::fill_n(row, run.length, run.colour);
    }
    return true;
}

}  // namespace

YCrCb dvdGrey(int colourIndex) {
    return {static_cast<std::uint8_t>(16 + (colourIndex & 15) * 219 / 15), 128, 128};
}

std::size_t declaredUnitSize(std::span<const std::uint8_t> header, UnitForm form) {
    return form == UnitForm::Hd ? be32(header, 2) : be16(header, 0);
}

SubpictureDecode decodeSubpictureUnit(std::span<const std::uint8_t> unit, BitmapWork work) {
    static_assert(kSubpictureScreenWidth < HdRunCode::kToLineEnd);
    SubpictureImage image;
    const bool hd = unit.size() >= 2 && unit[0] == 0 && unit[1] == 0;
    image.form = hd ? UnitForm::Hd : UnitForm::Dvd;
    if (unit.size() < (hd ? kHdUnitHeaderSize : kDvdUnitHeaderSize)) return {{}, "unit cut short"};
    const std::size_t declared = declaredUnitSize(unit, image.form);
    if (declared == 0) return {{}, "zero size"};
    if (declared != unit.size()) return {{}, "size outside the unit"};

    DisplayControl control(unit, image);
    std::string_view error = control.read(hd ? be32(unit, 6) : be16(unit, 2));
    if (error.empty()) error = control.finish();
    if (!error.empty()) return {{}, error};
    if (work == BitmapWork::Draw)
        image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, 0);
    if (work != BitmapWork::None)
        for (int field = 0; field < 2; ++field)
            if (!walkField(unit, image, field, work)) return {{}, "runs outside the unit"};
    return {std::move(image), {}};
}

}  // namespace tarnwell
