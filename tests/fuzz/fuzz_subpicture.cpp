// The subpicture unit assembler and decoder over arbitrary streams. The stream is fed in
// packets whose size the input chooses; every unit that comes out must be exactly as long
// as its size field says, and is decoded from a buffer of exactly its size (so a read past
// it is a finding of the sanitizer). A decoded image must lie on the screen with one value
// per pixel, and its PGS run-length code must decode back to the same pixels.
//
// Input: one control byte (bits 0..6: packet size - 1, in units of 8 bytes plus 1; bit 7: no
// PTS on odd packets), then the stream.

#include <cstdint>
#include <memory>
#include <string>

#include "formats/pgs_run_length.h"
#include "formats/subpicture_unit.h"
#include "fuzz_support.h"

namespace {

using namespace tarnwell;

// The pixels that PGS run-length code stands for, line by line; false when it is malformed.
bool pgsPixels(const std::vector<std::uint8_t>& code, std::size_t width,
               std::vector<std::uint8_t>& pixels) {
    std::size_t x = 0;
    for (std::size_t at = 0; at < code.size();) {
        std::uint8_t colour = code[at++];
        std::size_t length = 1;
        if (colour == 0) {
            if (at >= code.size()) return false;
            const std::uint8_t flags = code[at++];
            if (flags == 0) {
                if (x != width) return false;
                x = 0;
                continue;
            }
            length = flags & 0x3F;
            if (flags & 0x40) {
                if (at >= code.size()) return false;
                length = length << 8 | code[at++];
            }
            if (flags & 0x80) {
                if (at >= code.size()) return false;
                colour = code[at++];
            }
        }
        pixels.insert(pixels.end(), length, colour);
        x += length;
    }
    return x == 0;
}

void check(const SubpictureUnit& unit) {
    const std::size_t size = unit.bytes.size();
    const std::size_t declared = unit.form == UnitForm::Hd
                                     ? std::size_t(unit.bytes[2]) << 24 | unit.bytes[3] << 16 |
                                           unit.bytes[4] << 8 | unit.bytes[5]
                                     : std::size_t(unit.bytes[0]) << 8 | unit.bytes[1];
    if (declared != size) fuzz::finding("a unit's length differs from its size field");
    const auto exact = std::make_unique<std::uint8_t[]>(size);
    std::copy(unit.bytes.begin(), unit.bytes.end(), exact.get());
    const SubpictureDecode decoded = decodeSubpictureUnit({exact.get(), size});
    if (!decoded.image) {
        if (decoded.error.empty()) fuzz::finding("a unit refused without a reason");
        return;
    }
    const SubpictureImage& image = *decoded.image;
    if (image.x < 0 || image.y < 0 || image.width <= 0 || image.height <= 0 ||
        image.x + image.width > kSubpictureScreenWidth ||
        image.y + image.height > kSubpictureScreenHeight)
        fuzz::finding("an image off the screen");
    if (image.pixels.size() != std::size_t(image.width) * std::size_t(image.height))
        fuzz::finding("an image without one value per pixel");
    std::vector<std::uint8_t> back;
    if (!pgsPixels(pgsRunLength(image), std::size_t(image.width), back) || back != image.pixels)
        fuzz::finding("the PGS run-length code does not give the pixels back");
    // The writer's path: the same code straight from the runs, the bitmap never drawn.
    const SubpictureDecode layout = decodeSubpictureUnit({exact.get(), size}, BitmapWork::None);
    const auto fromRuns =
        layout.image ? pgsRunLength({exact.get(), size}, *layout.image) : std::nullopt;
    if (!fromRuns || *fromRuns != pgsRunLength(image))
        fuzz::finding("the PGS code from the runs differs from the code from the pixels");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader input(data, size);
    const std::uint8_t control = input.byte();
    const std::size_t packet = std::size_t(control & 0x7F) * 8 + 1;
    std::size_t lines = 0;
    SubpictureAssembler assembler(
        "Subpicture.00", [](SubpictureUnit&& unit) { check(unit); },
        [&](std::string_view) { ++lines; });
    for (std::int64_t n = 0; input.restSize() > 0; ++n) {
        const fuzz::Bytes body = input.take(packet);
        const std::int64_t pts = (control & 0x80) && n % 2 ? -1 : n * 3003;
        const std::size_t half = body.size() / 2;
        assembler.feed({body.data(), half}, true, pts);
        assembler.feed({body.data() + half, body.size() - half}, false, pts);
    }
    assembler.finish();
    if (lines > size) fuzz::finding("more log lines than input bytes");
    return 0;
}
