// The unit assembler and decoder over units made by the fixture encoder: both forms, both
// colour sizes, units cut anywhere, and each kind of damage once.

#include "engine/subpicture_unit.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "subpicture_encoder.h"

namespace tarnwell::testing {
namespace {

using fixture::Bytes;
using fixture::SubpictureSpec;

SubpictureSpec spec(bool hd, bool eightBit, int colours, std::uint32_t seed) {
    SubpictureSpec s;
    s.hdForm = hd;
    s.eightBitRuns = eightBit;
    s.x = 100, s.y = 900, s.width = 333, s.height = 41;
    s.pixels = fixture::subpicturePattern(s.width, s.height, colours, seed);
    if (hd) {
        for (int i = 0; i < 256; ++i) s.palette.insert(s.palette.end(), {std::uint8_t(i), 7, 9});
        for (int i = 0; i < 256; ++i) s.alpha.push_back(std::uint8_t(i == 0 ? 255 : 255 - i));
    } else {
        s.palette = {0x3C, 0xA0};  // colours 3, 12, 10, 0 for pixel values 3..0
        s.alpha = {0xF8, 0x40};    // contrasts 15, 8, 4, 0
    }
    s.startDelay = 2;
    s.stopDelay = 90;
    return s;
}

struct Collected {
    std::vector<SubpictureUnit> units;
    std::vector<std::string> lines;
    SubpictureAssembler assembler{"Subpicture.00",
                                  [this](SubpictureUnit&& u) { units.push_back(std::move(u)); },
                                  [this](std::string_view l) { lines.emplace_back(l); }};
};

TEST(SubpictureUnit, UnitsCutAnywhereComeOutWholeWithTheirPacketsTime) {
    struct Case {
        bool hd, eightBit;
        int colours;
        std::size_t packet;  // payload bytes per packet
    };
    for (const Case c :
         {Case{true, false, 4, 2000}, Case{true, true, 4, 1}, Case{true, false, 200, 7},
          Case{false, false, 4, 333}, Case{false, false, 4, 100000}}) {
        SCOPED_TRACE(::testing::Message() << c.hd << c.eightBit << c.colours << " " << c.packet);
        const SubpictureSpec first = spec(c.hd, c.eightBit, c.colours, 1);
        const SubpictureSpec second = spec(c.hd, c.eightBit, c.colours, 2);
        const Bytes a = fixture::encodeSubpictureUnit(first);
        const Bytes b = fixture::encodeSubpictureUnit(second);
        Bytes stream = a;
        fixture::append(stream, b);
        fixture::append(stream, std::span(b).first(5));  // an incomplete last unit
        // Packets of `packet` bytes; every third carries a PTS, each of its calls split in two.
        Collected out;
        std::vector<std::int64_t> packetPts;
        for (std::size_t at = 0, n = 0; at < stream.size(); at += c.packet, ++n) {
            const std::int64_t pts = n % 3 == 0 ? std::int64_t(8589934000 + n) : -1;
            packetPts.push_back(pts);
            const auto body = std::span(stream).subspan(at, std::min(c.packet, stream.size() - at));
            const std::size_t half = body.size() / 2;
            out.assembler.feed(body.first(half), true, pts);
            out.assembler.feed(body.subspan(half), false, pts);
        }
        out.assembler.finish();
        auto timeAt = [&](std::size_t offset) {
            for (std::size_t n = offset / c.packet + 1; n-- > 0;)
                if (packetPts[n] >= 0) return packetPts[n];
            return std::int64_t{-1};
        };
        ASSERT_EQ(out.units.size(), 2u);
        EXPECT_EQ(out.units[0].bytes, a);
        EXPECT_EQ(out.units[1].bytes, b);
        EXPECT_EQ(out.units[0].pts, timeAt(0));
        EXPECT_EQ(out.units[1].pts, timeAt(a.size()));
        ASSERT_EQ(out.lines.size(), 1u);
        EXPECT_EQ(out.lines[0], "Subpicture.00: incomplete subpicture unit at PTS " +
                                    std::to_string(timeAt(a.size() + b.size())) + " dropped");

        const SubpictureDecode decoded = decodeSubpictureUnit(out.units[1].bytes);
        ASSERT_TRUE(decoded.image) << decoded.error;
        const SubpictureImage& image = *decoded.image;
        EXPECT_EQ(image.form, c.hd ? UnitForm::Hd : UnitForm::Dvd);
        EXPECT_EQ(std::tie(image.x, image.y, image.width, image.height),
                  std::tie(second.x, second.y, second.width, second.height));
        EXPECT_EQ(std::tie(image.startDelay, image.stopDelay), std::make_tuple(2, 90));
        EXPECT_EQ(image.pixels, second.pixels);
        if (c.hd) {
            EXPECT_EQ(image.palette[77], (YCrCb{77, 7, 9}));
            EXPECT_EQ(image.alpha[0], 0);
            EXPECT_EQ(image.alpha[77], 77);
        } else {
            EXPECT_EQ(image.palette[3], dvdGrey(3));
            EXPECT_EQ(image.palette[1], dvdGrey(10));
            EXPECT_EQ((std::array{image.alpha[0], image.alpha[1], image.alpha[2], image.alpha[3]}),
                      (std::array<std::uint8_t, 4>{0, 68, 136, 255}));
        }
    }
}

TEST(SubpictureUnit, AFadeShowsItsFullestAlphaAndAForcedStartIsKept) {
    SubpictureSpec s = spec(true, false, 4, 3);
    s.forced = true;
    s.fadeAlphas = {Bytes(256, 0), Bytes(256, 128)};  // fully opaque, then half
    const auto decoded = decodeSubpictureUnit(fixture::encodeSubpictureUnit(s));
    ASSERT_TRUE(decoded.image);
    EXPECT_TRUE(decoded.image->forced);
    EXPECT_TRUE(std::all_of(decoded.image->alpha.begin(), decoded.image->alpha.end(),
                            [](std::uint8_t a) { return a == 255; }));
}

TEST(SubpictureUnit, EachKindOfDamageSkipsTheUnitWithItsReason) {
    const Bytes good = fixture::encodeSubpictureUnit(spec(true, false, 4, 4));
    const std::size_t dcsq = std::size_t(good[8]) << 8 | good[9];
    const std::size_t area = dcsq + 6 + 1 + 769 + 257;  // after start, palette and alpha
    auto patched = [&](std::size_t at, Bytes bytes) {
        Bytes unit = good;
        std::copy(bytes.begin(), bytes.end(), unit.begin() + std::ptrdiff_t(at));
        return unit;
    };
    struct Case {
        const char* reason;
        Bytes unit;
    };
    const Case cases[] = {
        {"zero size", patched(2, {0, 0, 0, 0})},
        {"size outside the unit", patched(2, {0, 1, 0, 0})},
        {"display control sequence outside the unit", patched(6, {0, 1, 0, 0})},
        {"command cut short", Bytes(good.begin(), good.begin() + std::ptrdiff_t(dcsq + 300))},
        {"area larger than the screen", patched(area + 1, {0x78, 0x07, 0x80})},
        {"bad area", patched(area + 1, {0x10, 0x00, 0x05})},
        {"endless display control sequences", patched(good.size() - 6, {0, 0, 0, 10})},
        {"bitmap offset outside the unit", patched(area + 8, {0x7F, 0, 0, 0})},
        {"runs outside the unit",
         patched(area + 12, {0, 0, std::uint8_t(dcsq >> 8), std::uint8_t(dcsq - 1)})},
        {"unknown command", patched(dcsq + 6, {0x42})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        Bytes unit = c.unit;
        if (std::string_view(c.reason) == "command cut short") {
            unit[2] = 0, unit[3] = 0, unit[4] = std::uint8_t(unit.size() >> 8);
            unit[5] = std::uint8_t(unit.size());
        }
        EXPECT_EQ(decodeSubpictureUnit(unit).error, c.reason);
        std::vector<std::string> lines;
        const auto image = decodeForOutput({unit, 123456, UnitForm::Hd}, "Subpicture.03",
                                           [&](std::string_view l) { lines.emplace_back(l); });
        EXPECT_FALSE(image);
        EXPECT_EQ(lines, std::vector<std::string>{"Subpicture.03: subpicture unit at PTS 123456 "
                                                  "skipped (" +
                                                  std::string(c.reason) + ")"});
    }
}

TEST(SubpictureUnit, ABadSizeFieldLosesOnlyTheRestOfItsPacket) {
    const Bytes good = fixture::encodeSubpictureUnit(spec(false, false, 4, 5));
    Collected out;
    out.assembler.feed(Bytes{0, 0, 0, 0, 0, 0, 1, 2, 3}, true, 900);  // zero size
    out.assembler.feed(Bytes{0, 2, 9, 9}, false, 900);                // same packet: lost
    out.assembler.feed(good, true, -1);
    ASSERT_EQ(out.units.size(), 1u);
    EXPECT_EQ(out.units[0].pts, 900);
    EXPECT_EQ(out.lines, std::vector<std::string>{
                             "Subpicture.00: subpicture unit at PTS 900 skipped (zero size)"});
}

}  // namespace
}  // namespace tarnwell::testing
