#include "subpicture_encoder.h"

#include <algorithm>
#include <stdexcept>

namespace tarnwell::fixture {

namespace {

class BitWriter {
  public:
    void put(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (bit_ % 8 == 0) out.push_back(0);
            if ((value >> i) & 1) out.back() |= static_cast<std::uint8_t>(0x80 >> (bit_ % 8));
            ++bit_;
        }
    }
    void align() { bit_ = (bit_ + 7) / 8 * 8; }
    Bytes out;

  private:
    std::size_t bit_ = 0;
};

void hdRun(BitWriter& w, std::uint8_t colour, int length, bool toLineEnd, bool eightBit) {
    const bool wide = eightBit || colour > 3;
    auto head = [&](bool run) {
        w.put(run ? 1 : 0, 1);
        w.put(wide ? 1 : 0, 1);
        w.put(colour, wide ? 8 : 2);
    };
    while (length > 0) {
        if (toLineEnd && length >= 10) {
            head(true);
            w.put(1, 1);
            w.put(0, 7);
            return;
        }
        const int n = std::min(length, 136);
        head(n > 1);
        if (n >= 10) {
            w.put(1, 1);
            w.put(static_cast<std::uint32_t>(n - 9), 7);
        } else if (n >= 2) {
            w.put(0, 1);
            w.put(static_cast<std::uint32_t>(n - 2), 3);
        }
        length -= n;
    }
}

void dvdRun(BitWriter& w, std::uint8_t colour, int length, bool toLineEnd) {
    while (length > 0) {
        if (toLineEnd && length >= 64) {
            w.put(colour, 16);  // length 0: the rest of the line
            return;
        }
        const int n = std::min(length, 255);
        const std::uint32_t code = static_cast<std::uint32_t>(n) << 2 | colour;
        w.put(code, n < 4 ? 4 : n < 16 ? 8 : n < 64 ? 12 : 16);
        length -= n;
    }
}

Bytes fieldRuns(const SubpictureSpec& s, int firstLine) {
    BitWriter w;
    for (int line = firstLine; line < s.height; line += 2) {
        const std::uint8_t* row = s.pixels.data() + static_cast<std::size_t>(line) * s.width;
        for (int x = 0; x < s.width;) {
            int end = x + 1;
            while (end < s.width && row[end] == row[x]) ++end;
            if (s.hdForm)
                hdRun(w, row[x], end - x, end == s.width, s.eightBitRuns);
            else
                dvdRun(w, row[x], end - x, end == s.width);
            x = end;
        }
        w.align();
    }
    return w.out;
}

void putBig(Bytes& out, std::size_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
void setBig(Bytes& out, std::size_t at, std::size_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
}

}  // namespace

Bytes encodeSubpictureUnit(const SubpictureSpec& s) {
    if (s.pixels.size() != static_cast<std::size_t>(s.width) * s.height)
        throw std::invalid_argument("subpicture pixels do not fill the area");
    const int offsetSize = s.hdForm ? 4 : 2;
    const std::size_t header = s.hdForm ? 10 : 4;
    Bytes unit(header, 0);
    const std::size_t even = unit.size();
    append(unit, fieldRuns(s, 0));
    const std::size_t odd = unit.size();
    append(unit, fieldRuns(s, 1));

    // Display sequences: the start with every setting, the fades, the stop; each points to
    // the next, the last to itself.
    std::vector<std::size_t> starts;
    auto sequence = [&](std::uint16_t delay) {
        if (!starts.empty()) setBig(unit, starts.back() + 2, unit.size(), offsetSize);
        starts.push_back(unit.size());
        putBig(unit, delay, 2);
        putBig(unit, starts.back(), offsetSize);
    };
    sequence(s.startDelay);
    unit.push_back(s.forced ? 0x00 : 0x01);
    if (!s.palette.empty()) {
        unit.push_back(s.hdForm ? 0x83 : 0x03);
        append(unit, s.palette);
    }
    if (!s.alpha.empty()) {
        unit.push_back(s.hdForm ? 0x84 : 0x04);
        append(unit, s.alpha);
    }
    const int x2 = s.x + s.width - 1, y2 = s.y + s.height - 1;
    unit.insert(
        unit.end(),
        {static_cast<std::uint8_t>(s.hdForm ? 0x85 : 0x05), static_cast<std::uint8_t>(s.x >> 4),
         static_cast<std::uint8_t>((s.x & 15) << 4 | x2 >> 8), static_cast<std::uint8_t>(x2),
         static_cast<std::uint8_t>(s.y >> 4), static_cast<std::uint8_t>((s.y & 15) << 4 | y2 >> 8),
         static_cast<std::uint8_t>(y2)});
    unit.push_back(s.hdForm ? 0x86 : 0x06);
    putBig(unit, even, offsetSize);
    putBig(unit, odd, offsetSize);
    unit.push_back(0xFF);
    for (std::size_t i = 0; i < s.fadeAlphas.size(); ++i) {
        sequence(static_cast<std::uint16_t>(s.startDelay + s.fadeStep * (1 + i)));
        unit.push_back(0x84);
        append(unit, s.fadeAlphas[i]);
        unit.push_back(0xFF);
    }
    if (s.withStop) {
        sequence(s.stopDelay);
        unit.push_back(0x02);
        unit.push_back(0xFF);
    }
    setBig(unit, s.hdForm ? 6 : 2, starts.front(), offsetSize);
    setBig(unit, s.hdForm ? 2 : 0, unit.size(), offsetSize);
    return unit;
}

Bytes subpicturePattern(int width, int height, int colours, std::uint32_t seed) {
    Bytes pixels;
    pixels.reserve(static_cast<std::size_t>(width) * height);
    std::uint32_t state = seed * 2654435761u + 1;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    // Run lengths of every class (1, 2..9, 10..136, longer, to the line's end).
    static constexpr int kLengths[] = {1, 2, 9, 10, 136, 137, 300};
    for (int line = 0; line < height; ++line) {
        int x = 0;
        while (x < width) {
            const int n = std::min(width - x, kLengths[next() % 7]);
            pixels.insert(pixels.end(), static_cast<std::size_t>(n),
                          static_cast<std::uint8_t>(next() % static_cast<std::uint32_t>(colours)));
            x += n;
        }
    }
    return pixels;
}

}  // namespace tarnwell::fixture
