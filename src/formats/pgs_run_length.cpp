#include "formats/pgs_run_length.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace tarnwell {

namespace {

// One PGS run of 1..0x3FFF pixels, in the shortest of the 1- to 4-byte forms, as a
// little-endian word in bits 0..31 and its size in bits 32..34.
constexpr std::uint64_t pgsRunCode(std::uint32_t colour, std::uint32_t n) {
    if (colour != 0 && n <= 2) return (n == 2 ? colour * 0x0101 : colour) | std::uint64_t{n} << 32;
    const std::uint32_t flags = (colour != 0 ? 0x80 : 0) | (n >= 64 ? 0x40 | n >> 8 : n);
    const std::uint32_t word =
        flags << 8 | (n >= 64 ? (n & 0xFF) << 16 | colour << 24 : colour << 16);
    const std::uint32_t size = 2 + (n >= 64 ? 1 : 0) + (colour != 0 ? 1 : 0);
    return word | std::uint64_t{size} << 32;
}

// Writes the run `code` at `at`, which has room for 4 bytes; returns its end.
std::uint8_t* putRunCode(std::uint8_t* at, std::uint64_t code) {
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(code >> 8),
        static_cast<std::uint8_t>(code >> 16), static_cast<std::uint8_t>(code >> 24)};
    std::memcpy(at, bytes, 4);
    return at + (code >> 32 & 7);
}

void putRun(std::vector<std::uint8_t>& out, std::uint8_t colour, std::size_t length) {
    while (length > 0) {
        const std::size_t n = std::min<std::size_t>(length, 0x3FFF);
        std::uint8_t bytes[4];
        out.insert(out.end(), bytes,
                   putRunCode(bytes, pgsRunCode(colour, static_cast<std::uint32_t>(n))));
        length -= n;
    }
}

// The end of the run of equal values that starts at `from`, compared 8 bytes at a time.
const std::uint8_t* runEnd(const std::uint8_t* from, const std::uint8_t* end) {
    const std::uint64_t same = *from * std::uint64_t{0x0101010101010101};
    const std::uint8_t* at = from + 1;
    if constexpr (std::endian::native == std::endian::little) {
        for (; end - at >= 8; at += 8) {
            std::uint64_t word;
            std::memcpy(&word, at, 8);
            if (const std::uint64_t differ = word ^ same; differ != 0)
                return at + std::countr_zero(differ) / 8;
        }
    }
    while (at < end && *at == *from) ++at;
    return at;
}

}  // namespace

std::vector<std::uint8_t> pgsRunLength(const SubpictureImage& image) {
    std::vector<std::uint8_t> out;
    out.reserve(image.pixels.size() / 4 + 2 * static_cast<std::size_t>(image.height));
    const auto width = static_cast<std::size_t>(image.width);
    for (int line = 0; line < image.height; ++line) {
        const std::uint8_t* row = image.pixels.data() + static_cast<std::size_t>(line) * width;
        for (const std::uint8_t* at = row; at < row + width;) {
            const std::uint8_t* end = runEnd(at, row + width);
            putRun(out, *at, static_cast<std::size_t>(end - at));
            at = end;
        }
        out.push_back(0);
        out.push_back(0);
    }
    return out;
}

namespace {

// ---- HD form, fused -----------------------------------------------------------------------
//
// The HD form's run codes (read by hdRunCode, as the field reader reads them) are turned into
// PGS runs as they come, without a list of runs between. Away from the unit's end the bits
// come from a 64-bit buffer topped up 8 bytes at a time; over the last bytes each code is read
// with the same check as the field reader makes.

constexpr std::uint32_t kToLineEnd = HdRunCode::kToLineEnd;

// A run code whose colour takes 2 bits fits 12 bits. Per 12-bit prefix, what hdRunCode reads
// from it, ready for use: the PGS run of the code (bits 0..34, as pgsRunCode), its colour
// (bits 35..36), length (bits 37..44; 0: the rest of the line) and the bits it takes
// (45..48); 0 for a code with an 8-bit colour.
constexpr int kColourShift = 35, kLengthShift = 37, kUsedShift = 45;
constexpr std::array<std::uint64_t, 4096> kHdNarrowCodes = [] {
    std::array<std::uint64_t, 4096> table{};
    for (std::uint32_t p = 0; p < 4096; ++p) {
        const HdRunCode code = hdRunCode(std::uint64_t{p} << 52);
        if (code.colourBits != 2) continue;
        const std::uint32_t length = code.length == kToLineEnd ? 0 : code.length;
        table[p] = (length != 0 ? pgsRunCode(code.colour, length) : 0) |
                   std::uint64_t{code.colour} << kColourShift |
                   std::uint64_t{length} << kLengthShift |
                   static_cast<std::uint64_t>(code.bits) << kUsedShift;
    }
    return table;
}();

// The bits a narrow code at the top of `buffer` takes, from the code itself rather than the
// table, since the next code waits for them: 4, 8 with a length, 12 with a long one.
constexpr int narrowCodeBits(std::uint64_t buffer) {
    const auto run = static_cast<int>(buffer >> 63);
    return 4 + 4 * run + 4 * (static_cast<int>(buffer >> 59) & run);
}
static_assert(
    [] {
        for (std::uint64_t p = 0; p < 4096; ++p)
            if (kHdNarrowCodes[p] != 0 &&
                narrowCodeBits(p << 52) != static_cast<int>(kHdNarrowCodes[p] >> kUsedShift))
                return false;
        return true;
    }(),
    "the quick count of a narrow code's bits is the reader's");

std::uint64_t load64(const std::uint8_t* at) {
    std::uint64_t word;
    std::memcpy(&word, at, 8);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
}

// Where one field's code stands: while `fast`, at byte `next` with `count` bits in the top of
// `buffer` not yet used; after that at bit `bit` of the unit.
struct FieldBits {
    const std::uint8_t* next;
    std::uint64_t buffer = 0;
    int count = 0;
    bool fast = true;
    std::size_t bit = 0;
};

bool hdRunLength(std::span<const std::uint8_t> unit, const SubpictureImage& image,
                 std::vector<std::uint8_t>& out) {
    const std::uint8_t* const bytes = unit.data();
    const std::size_t size = unit.size();
    const std::size_t endBit = size * 8;
    const auto width = static_cast<std::uint32_t>(image.width);
    // Room for a line: a PGS run of at most 4 bytes per pixel, and the line's end.
    const std::size_t lineRoom = 4 * std::size_t{width} + 2;
    FieldBits fields[2] = {{bytes + image.fieldOffsets[0]}, {bytes + image.fieldOffsets[1]}};
    std::size_t length = 0;
    for (int line = 0; line < image.height; ++line) {
        if (out.size() - length < lineRoom) out.resize(std::max(2 * out.size(), length + lineRoom));
        std::uint8_t* at = out.data() + length;
        FieldBits& f = fields[line & 1];
        // Codes of one value next to each other make one PGS run: the pending run, written
        // when a code of another value comes (its code 0 writes nothing).
        std::uint32_t pendingColour = 0, pendingLength = 0;
        std::uint64_t pendingCode = 0;
        std::uint32_t x = 0;
        const auto take = [&](std::uint32_t colour, std::uint32_t n) {
            n = std::min(n, width - x);
            x += n;
            if (colour == pendingColour) {
                pendingLength += n;
            } else {
                at = putRunCode(at, pendingCode);
                pendingColour = colour;
                pendingLength = n;
            }
            pendingCode = pgsRunCode(pendingColour, pendingLength);
        };
        // The field's place in locals, so that it stays in registers.
        const std::uint8_t* next = f.next;
        std::uint64_t buffer = f.buffer;
        int count = f.count;
        while (f.fast && x < width) {
            if (bytes + size - next < 8) {
                f.fast = false;
                f.bit =
                    static_cast<std::size_t>(next - bytes) * 8 - static_cast<std::size_t>(count);
                break;
            }
            // At least 56 bits in the buffer: three codes (of at most 18 bits) without a check.
            buffer |= load64(next) >> count;
            next += (63 - count) >> 3;
            count |= 56;
            for (int k = 0; k < 3 && x < width; ++k) {
                const std::uint64_t entry = kHdNarrowCodes[buffer >> 52];
                const auto n = static_cast<std::uint32_t>(entry >> kLengthShift & 0xFF);
                // The common case: a 2-bit colour, a length, the line goes on.
                if (entry != 0 && n != 0 && width - x > n) [[likely]] {
                    const int used = narrowCodeBits(buffer);
                    buffer <<= used;
                    count -= used;
                    x += n;
                    const auto colour = static_cast<std::uint32_t>(entry >> kColourShift & 3);
                    if (colour != pendingColour) [[likely]] {
                        at = putRunCode(at, pendingCode);
                        pendingColour = colour;
                        pendingLength = n;
                        pendingCode = entry;
                    } else {
                        pendingLength += n;
                        pendingCode = pgsRunCode(pendingColour, pendingLength);
                    }
                    continue;
                }
                const HdRunCode code = hdRunCode(buffer);
                buffer <<= code.bits;
                count -= code.bits;
                take(code.colour, code.length);
            }
        }
        // Each line starts on a byte: the bits left of the byte begun last are dropped.
        f.next = next;
        f.buffer = buffer << (count & 7);
        f.count = count & ~7;
        while (!f.fast && x < width) {
            std::uint64_t peek = 0;
            for (std::size_t i = f.bit >> 3, k = 0; i < size && k < 8; ++i, ++k)
                peek |= std::uint64_t{bytes[i]} << (56 - 8 * k);
            peek <<= f.bit & 7;
            const HdRunCode code = hdRunCode(peek);
            f.bit += static_cast<std::size_t>(code.bits);
            if (f.bit > endBit) return false;
            take(code.colour, code.length);
        }
        f.bit = (f.bit + 7) & ~std::size_t{7};
        at = putRunCode(at, pendingCode);
        *at++ = 0;
        *at++ = 0;
        length = static_cast<std::size_t>(at - out.data());
    }
    out.resize(length);
    return true;
}

// Any form, through the field readers: the runs of a line, then its PGS runs.
bool readerRunLength(std::span<const std::uint8_t> unit, const SubpictureImage& image,
                     std::vector<std::uint8_t>& out) {
    SubpictureFieldReader fields[2] = {{unit, image.fieldOffsets[0], image.form, image.width},
                                       {unit, image.fieldOffsets[1], image.form, image.width}};
    std::vector<SubpictureRun> runs;
    for (int line = 0; line < image.height; ++line) {
        if (!fields[line & 1].nextLine(runs)) return false;
        // Room for every run at 4 bytes and the line's end; cut back to what was written.
        const std::size_t start = out.size();
        out.resize(start + 4 * runs.size() + 2);
        std::uint8_t* at = out.data() + start;
        // Runs of one value next to each other make one PGS run.
        SubpictureRun pending = runs.front();
        for (std::size_t i = 1; i < runs.size(); ++i) {
            if (runs[i].colour == pending.colour) {
                pending.length += runs[i].length;
                continue;
            }
            at = putRunCode(at, pgsRunCode(pending.colour, pending.length));
            pending = runs[i];
        }
        at = putRunCode(at, pgsRunCode(pending.colour, pending.length));
        *at++ = 0;
        *at++ = 0;
        out.resize(static_cast<std::size_t>(at - out.data()));
    }
    return true;
}

}  // namespace

bool pgsRunLength(std::span<const std::uint8_t> unit, const SubpictureImage& image,
                  std::vector<std::uint8_t>& out) {
    static_assert(kSubpictureScreenWidth <= 0x3FFF, "a line's run fits one PGS run");
    out.clear();
    if (image.form == UnitForm::Hd) return hdRunLength(unit, image, out);
    return readerRunLength(unit, image, out);
}

std::optional<std::vector<std::uint8_t>> pgsRunLength(std::span<const std::uint8_t> unit,
                                                      const SubpictureImage& image) {
    std::vector<std::uint8_t> out;
    if (!pgsRunLength(unit, image, out)) return std::nullopt;
    return out;
}

}  // namespace tarnwell
