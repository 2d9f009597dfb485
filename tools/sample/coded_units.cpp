#include "coded_units.h"

#include <stdexcept>

namespace tarnwell::sample {

namespace {

// The positions of the start codes 00 00 01 xx in `s` (of their first zero).
std::vector<std::size_t> startCodes(std::span<const std::uint8_t> s) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i + 3 < s.size(); ++i)
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) at.push_back(i);
    return at;
}

std::vector<CodedUnit> cut(std::span<const std::uint8_t> s, const std::vector<std::size_t>& starts,
                           const std::vector<bool>& keys) {
    if (starts.empty() || starts.front() != 0) throw std::invalid_argument("no frame at the start");
    std::vector<CodedUnit> units;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : s.size();
        units.push_back({s.subspan(starts[i], end - starts[i]), keys[i]});
    }
    return units;
}

}  // namespace

std::vector<CodedUnit> mpeg2Frames(std::span<const std::uint8_t> s) {
    std::vector<std::size_t> starts;
    std::vector<bool> keys;
    bool inHeaders = false;  // a sequence or group header opened the unit the next picture ends
    for (const auto at : startCodes(s)) {
        const std::uint8_t code = s[at + 3];
        const bool header = code == 0xB3 || code == 0xB8;
        if (code != 0x00 && !header) continue;
        if (!inHeaders) {
            starts.push_back(at);
            keys.push_back(code == 0xB3);
        }
        inHeaders = header;
    }
    return cut(s, starts, keys);
}

std::vector<CodedUnit> h264Frames(std::span<const std::uint8_t> s) {
    std::vector<std::size_t> starts;
    std::vector<bool> keys;
    for (const auto at : startCodes(s)) {
        const int type = s[at + 3] & 0x1F;
        if (type == 9) {  // the delimiter, with the zero of its 4-byte start code
            starts.push_back(at > 0 && s[at - 1] == 0 ? at - 1 : at);
            keys.push_back(false);
        } else if (type == 5 && !keys.empty()) {
            keys.back() = true;
        }
    }
    return cut(s, starts, keys);
}

std::vector<CodedUnit> ac3Frames(std::span<const std::uint8_t> s) {
    static constexpr int kKbps[] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                    192, 224, 256, 320, 384, 448, 512, 576, 640};
    static constexpr int kBlocks[] = {1, 2, 3, 6};
    std::vector<CodedUnit> units;
    for (std::size_t at = 0; at < s.size();) {
        const auto h = s.subspan(at);
        if (h.size() < 6 || h[0] != 0x0B || h[1] != 0x77 || (h[4] >> 6) != 0)
            throw std::invalid_argument("not a 48 kHz AC-3 frame");
        std::size_t size = 0;
        int blocks = 6;
        if ((h[5] >> 3) > 10) {  // E-AC-3: the size in words, and the blocks of 256 samples
            size = ((static_cast<std::size_t>(h[2] & 7) << 8 | h[3]) + 1) * 2;
            blocks = kBlocks[(h[4] >> 4) & 3];
        } else if ((h[4] & 0x3F) < 38) {
            size = static_cast<std::size_t>(kKbps[(h[4] & 0x3F) / 2]) * 4;
        }
        if (size == 0 || size > h.size()) throw std::invalid_argument("cut AC-3 frame");
        // 256 samples a block at 48 kHz: 480 ticks.
        units.push_back({h.first(size), true, static_cast<std::uint32_t>(blocks) * 480});
        at += size;
    }
    return units;
}

}  // namespace tarnwell::sample
