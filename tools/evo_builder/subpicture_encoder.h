#pragma once
// Encodes subpicture units for fixtures: the HD form (4-byte size and offsets, 256-entry
// palette and alpha, 2-bit or 8-bit colour runs) and the DVD form (2-byte size and offsets,
// four colours and contrasts, nibble runs). Lay the units out with PackWriter::write to spread
// them over packets.

#include <cstdint>
#include <vector>

#include "evo_builder.h"

namespace tarnwell::fixture {

struct SubpictureSpec {
    bool hdForm = true;
    // HD form: every run with an 8-bit colour; otherwise colours 0..3 take the 2-bit size.
    bool eightBitRuns = false;
    int x = 0, y = 0, width = 0, height = 0;
    Bytes pixels;  // width*height colour values, line by line (0..3 in the DVD form)
    // HD form: 768 bytes of Y, Cr, Cb and 256 stored alpha bytes (255 - alpha); empty: the
    // command is left out. DVD form: the two argument bytes of the colour and contrast
    // commands.
    Bytes palette, alpha;
    // Further alpha states, each in a display sequence of its own after the start (a fade),
    // `fadeStep` delay units apart.
    std::vector<Bytes> fadeAlphas;
    std::uint16_t fadeStep = 1;
    std::uint16_t startDelay = 0;
    std::uint16_t stopDelay = 0;
    bool forced = false;
    bool withStop = true;
};

Bytes encodeSubpictureUnit(const SubpictureSpec& spec);

// A picture of `width` x `height` with runs of every length class and both colour sizes:
// colours stay below `colours`.
Bytes subpicturePattern(int width, int height, int colours, std::uint32_t seed);

}  // namespace tarnwell::fixture
