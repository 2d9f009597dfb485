// The unit assembler and decoder over units made by the fixture encoder: both forms, both
// colour sizes, units cut anywhere, and each kind of damage once.

#include "formats/subpicture_unit.h"

#include <gtest/gtest.h>

#include "subpicture_encoder.h"

namespace tarnwell::testing {
namespace {

using fixture::Bytes;

// HD form: palette value i is (i, 7, 9), alpha i, fading in from a quarter; DVD form: colours
// 3, 12, 10, 0 and contrasts 15, 8, 4, 0 for pixel values 3..0, forced.
fixture::SubpictureSpec spec(bool hd, bool eightBit, int colours, std::uint32_t seed) {
    fixture::SubpictureSpec s;
    s.hdForm = hd, s.eightBitRuns = eightBit, s.forced = !hd;
    s.x = 100, s.y = 900, s.width = 333, s.height = 41;
    s.pixels = fixture::subpicturePattern(s.width, s.height, colours, seed);
    s.palette = {0x3C, 0xA0}, s.alpha = {0xF8, 0x40};
    if (hd) {
        s.palette.clear(), s.alpha.clear(), s.fadeAlphas = {{}};
        for (int i = 0; i < 256; ++i) s.palette.insert(s.palette.end(), {std::uint8_t(i), 7, 9});
        for (int i = 0; i < 256; ++i) s.alpha.push_back(std::uint8_t(255 - i / 4));
        for (int i = 0; i < 256; ++i) s.fadeAlphas[0].push_back(std::uint8_t(255 - i));
    }
    s.startDelay = 2, s.stopDelay = 90;
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
    for (const Case c : {Case{true, false, 4, 2000}, Case{true, true, 4, 1},
                         Case{true, false, 200, 7}, Case{false, false, 4, 333}}) {
        SCOPED_TRACE(c.packet);
        const Bytes a = fixture::encodeSubpictureUnit(spec(c.hd, c.eightBit, c.colours, 1));
        const fixture::SubpictureSpec second = spec(c.hd, c.eightBit, c.colours, 2);
        const Bytes b = fixture::encodeSubpictureUnit(second);
        Bytes stream = a;
        fixture::append(stream, b);
        fixture::append(stream, std::span(b).first(5));  // an incomplete last unit
        // Every third packet carries a PTS (past the 32-bit range); each is fed in two calls.
        Collected out;
        std::vector<std::int64_t> lastPts;
        for (std::size_t at = 0, n = 0; at < stream.size(); at += c.packet, ++n) {
            const std::int64_t pts = n % 3 == 0 ? std::int64_t(8589934000 + n) : -1;
            lastPts.push_back(pts >= 0 ? pts : lastPts.back());
            const auto body = std::span(stream).subspan(at, std::min(c.packet, stream.size() - at));
            out.assembler.feed(body.first(body.size() / 2), true, pts);
            out.assembler.feed(body.subspan(body.size() / 2), false, pts);
        }
        out.assembler.finish();
        ASSERT_EQ(out.units.size(), 2u);
        EXPECT_EQ(out.units[0].bytes, a);
        EXPECT_EQ(out.units[1].bytes, b);
        EXPECT_EQ(out.units[0].pts, lastPts[0]);
        EXPECT_EQ(out.units[1].pts, lastPts[a.size() / c.packet]);
        EXPECT_EQ(out.lines,
                  std::vector<std::string>{
                      "Subpicture.00: incomplete subpicture unit at PTS " +
                      std::to_string(lastPts[(a.size() + b.size()) / c.packet]) + " dropped"});

        const SubpictureDecode decoded = decodeSubpictureUnit(out.units[1].bytes);
        ASSERT_TRUE(decoded.image) << decoded.error;
        const SubpictureImage& image = *decoded.image;
        EXPECT_EQ(std::tie(image.x, image.y, image.width, image.height),
                  std::tie(second.x, second.y, second.width, second.height));
        EXPECT_EQ(std::tuple(image.form, image.startDelay, image.stopDelay, image.forced),
                  std::tuple(c.hd ? UnitForm::Hd : UnitForm::Dvd, 2, 90, !c.hd));
        EXPECT_EQ(image.pixels, second.pixels);
        const YCrCb colour = c.hd ? YCrCb{77, 7, 9} : dvdGrey(12);
        const std::array<std::uint8_t, 4> alpha =
            c.hd ? std::array<std::uint8_t, 4>{0, 1, 2, 3}
                 : std::array<std::uint8_t, 4>{0, 68, 136, 255};
        EXPECT_EQ(image.palette[c.hd ? 77 : 2], colour);
        EXPECT_EQ((std::array{image.alpha[0], image.alpha[1], image.alpha[2], image.alpha[3]}),
                  alpha);
    }
}

TEST(SubpictureUnit, EachKindOfDamageSkipsTheUnitWithItsReason) {
    const Bytes good = fixture::encodeSubpictureUnit(spec(true, false, 4, 4));
    const std::size_t dcsq = std::size_t(good[8]) << 8 | good[9];
    const std::size_t area = dcsq + 6 + 1 + 769 + 257;  // after start, palette and alpha
    auto patched = [&](std::size_t at, Bytes bytes, std::size_t cut = 0) {
        Bytes unit(good.begin(), good.end() - std::ptrdiff_t(cut));
        std::copy(bytes.begin(), bytes.end(), unit.begin() + std::ptrdiff_t(at));
        return unit;
    };
    const std::size_t cut = good.size() - dcsq - 300;  // leaves 293 of the palette's 768
    const std::pair<const char*, Bytes> cases[] = {
        {"zero size", patched(2, {0, 0, 0, 0})},
        {"size outside the unit", patched(2, {0, 1, 0, 0})},
        {"display control sequence outside the unit", patched(6, {0, 1, 0, 0})},
        {"command cut short",
         patched(4, {std::uint8_t((dcsq + 300) >> 8), std::uint8_t(dcsq + 300)}, cut)},
        {"area larger than the screen", patched(area + 1, {0x78, 0x07, 0x80})},
        {"bad area", patched(area + 1, {0x10, 0x00, 0x05})},
        {"endless display control sequences", patched(good.size() - 6, {0, 0, 0, 10})},
        {"bitmap offset outside the unit", patched(area + 8, {0x7F, 0, 0, 0})},
        {"runs outside the unit",
         patched(area + 14, {std::uint8_t((good.size() - 1) >> 8), std::uint8_t(good.size() - 1)})},
        {"unknown command", patched(dcsq + 6, {0x42})},
    };
    for (const auto& [reason, unit] : cases) {
        std::vector<std::string> lines;
        EXPECT_FALSE(decodeForOutput({unit, 123456, UnitForm::Hd, {}}, "Subpicture.03",
                                     [&](std::string_view l) { lines.emplace_back(l); }));
        EXPECT_EQ(lines, std::vector<std::string>{"Subpicture.03: subpicture unit at PTS 123456 "
                                                  "skipped (" +
                                                  std::string(reason) + ")"});
    }
}

TEST(SubpictureUnit, ABadSizeFieldLosesWhatComesUpToTheNextPacketWithATimeStamp) {
    Collected out;
    const Bytes unit = fixture::encodeSubpictureUnit(spec(false, false, 4, 5));
    out.assembler.feed(Bytes{0, 0, 0, 0, 0, 0, 1, 2, 3}, true, 900);  // zero size
    out.assembler.feed(Bytes{0, 2, 9, 9}, false, 900);                // same packet: lost
    out.assembler.feed(unit, true, -1);  // a packet without a time stamp: still the damage
    out.assembler.feed(unit, true, 1800);
    ASSERT_EQ(out.units.size(), 1u);
    EXPECT_EQ(out.units[0].pts, 1800);
    EXPECT_EQ(out.lines, std::vector<std::string>{
                             "Subpicture.00: subpicture unit at PTS 900 skipped (zero size)"});
}

}  // namespace
}  // namespace tarnwell::testing
