#include "formats/stream_probe.h"

#include <algorithm>
#include <array>

namespace tarnwell {

namespace {

using Bytes = std::span<const std::uint8_t>;

// Where the byte pattern `pattern` first stands in `head`, or npos.
std::size_t find(Bytes head, std::initializer_list<std::uint8_t> pattern, std::size_t from = 0) {
    if (from >= head.size()) return std::string_view::npos;
    const auto at = std::search(head.begin() + static_cast<std::ptrdiff_t>(from), head.end(),
                                pattern.begin(), pattern.end());
    return at == head.end() ? std::string_view::npos : static_cast<std::size_t>(at - head.begin());
}

// A start code 00 00 01 followed by a byte that `accept` takes.
template <typename Accept>
bool hasStartCode(Bytes head, Accept accept) {
    for (std::size_t at = find(head, {0, 0, 1}); at != std::string_view::npos;
         at = find(head, {0, 0, 1}, at + 1))
        if (at + 3 < head.size() && accept(head[at + 3])) return true;
    return false;
}

// AC-3 frame sizes in 16-bit words by frmsizecod / 2, for 48, 44.1 and 32 kHz; 44.1 kHz frames
// with an odd code are one word longer.
constexpr std::array<std::array<std::uint16_t, 3>, 19> kAc3Words = {{
    {64, 69, 96},     {80, 87, 120},      {96, 104, 144},     {112, 121, 168},    {128, 139, 192},
    {160, 174, 240},  {192, 208, 288},    {224, 243, 336},    {256, 278, 384},    {320, 348, 480},
    {384, 417, 576},  {448, 487, 672},    {512, 557, 768},    {640, 696, 960},    {768, 835, 1152},
    {896, 975, 1344}, {1024, 1114, 1536}, {1152, 1253, 1728}, {1280, 1393, 1920},
}};

// The size in bytes of the AC-3 or E-AC-3 frame at `at` (its sync word read), or 0.
std::size_t ac3FrameSize(Bytes head, std::size_t at) {
    if (at + 6 > head.size()) return 0;
    const int bsid = head[at + 5] >> 3;
    const int fscod = head[at + 4] >> 6;
    if (bsid <= 10) {
        const int code = head[at + 4] & 0x3F;
        if (fscod == 3 || code > 37) return 0;
        const auto& words = kAc3Words[static_cast<std::size_t>(code / 2)];
        return 2 * (words[static_cast<std::size_t>(fscod)] + (fscod == 1 ? code & 1 : 0));
    }
    if (bsid <= 16) return 2 * ((std::size_t{head[at + 2] & 7u} << 8 | head[at + 3]) + 1);
    return 0;
}

bool hasAc3Frame(Bytes head, std::uint64_t size) {
    for (std::size_t at = find(head, {0x0B, 0x77}); at != std::string_view::npos;
         at = find(head, {0x0B, 0x77}, at + 1)) {
        const std::size_t frame = ac3FrameSize(head, at);
        if (frame == 0) continue;
        const std::size_t next = at + frame;
        if (next == size) return true;
        if (next + 1 < head.size() && head[next] == 0x0B && head[next + 1] == 0x77) return true;
    }
    return false;
}

// A DTS core frame: its sync word, a frame size the format allows, and behind the frame the
// next core frame or the DTS-HD substream that extends it.
bool hasDtsFrame(Bytes head, std::uint64_t size) {
    for (std::size_t at = find(head, {0x7F, 0xFE, 0x80, 0x01}); at != std::string_view::npos;
         at = find(head, {0x7F, 0xFE, 0x80, 0x01}, at + 1)) {
        if (at + 8 > head.size()) break;
        const std::size_t frame = (std::size_t{head[at + 5] & 3u} << 12 |
                                   std::size_t{head[at + 6]} << 4 | head[at + 7] >> 4) +
                                  1;
        if (frame < 96) continue;
        const std::size_t next = at + frame;
        if (next == size) return true;
        if (next + 4 > head.size()) continue;
        const auto word = head.subspan(next, 4);
        const bool core = word[0] == 0x7F && word[1] == 0xFE && word[2] == 0x80 && word[3] == 0x01;
        const bool hd = word[0] == 0x64 && word[1] == 0x58 && word[2] == 0x20 && word[3] == 0x25;
        if (core || hd) return true;
    }
    return false;
}

// A TrueHD or MLP major sync with its signature.
bool hasMlpSync(Bytes head) {
    for (std::size_t at = find(head, {0xF8, 0x72, 0x6F}); at != std::string_view::npos;
         at = find(head, {0xF8, 0x72, 0x6F}, at + 1))
        if (at + 10 <= head.size() && (head[at + 3] & 0xFE) == 0xBA && head[at + 8] == 0xB7 &&
            head[at + 9] == 0x52)
            return true;
    return false;
}

// A RIFF or RF64 file whose data chunk holds samples.
bool hasWavSamples(Bytes head, std::uint64_t size) {
    if (head.size() < 12) return false;
    const bool riff = std::equal(head.begin(), head.begin() + 4, "RIFF") ||
                      std::equal(head.begin(), head.begin() + 4, "RF64");
    if (!riff || !std::equal(head.begin() + 8, head.begin() + 12, "WAVE")) return false;
    const std::size_t data = find(head, {'d', 'a', 't', 'a'}, 12);
    return data != std::string_view::npos && data + 8 < size;
}

}  // namespace

std::string_view unusableStreamReason(std::string_view extension, Bytes head, std::uint64_t size) {
    if (size == 0) return "empty";
    if (extension == "m2v" && !hasStartCode(head, [](std::uint8_t b) { return b == 0xB3; }))
        return "no MPEG-2 sequence header";
    if (extension == "h264" &&
        !hasStartCode(head, [](std::uint8_t b) { return (b & 0x9F) == 0x07; }))
        return "no H.264 sequence parameter set";
    if (extension == "vc1" && !hasStartCode(head, [](std::uint8_t b) { return b == 0x0F; }))
        return "no VC-1 sequence header";
    if ((extension == "ac3" || extension == "eac3") && !hasAc3Frame(head, size))
        return "no AC-3 or E-AC-3 frame";
    if (extension == "dts" && !hasDtsFrame(head, size)) return "no DTS frame";
    if (extension == "thd" && !hasMlpSync(head)) return "no MLP or TrueHD major sync";
    if (extension == "wav" && !hasWavSamples(head, size)) return "no samples";
    if (extension == "sup" && !(head.size() >= 2 && head[0] == 'P' && head[1] == 'G'))
        return "no subtitle";
    return {};
}

}  // namespace tarnwell
