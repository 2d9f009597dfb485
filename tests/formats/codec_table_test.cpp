#include "formats/codec_table.h"

#include <gtest/gtest.h>

#include <optional>

namespace tarnwell {
namespace {

constexpr CodeUse kUses[] = {CodeUse::Found, CodeUse::Captioned, CodeUse::Rebuilt};

std::optional<Codec> codecAt(CodeUse use, SlotKind kind, std::int32_t code) {
    const CodecRow* row = codecFor(use, kind, code);
    return row ? std::optional(row->codec) : std::nullopt;
}

// Each use's ranges at their edges. Video and audio codes mean the same in every use; the
// subpicture ranges of the scan reach 0x3F and 0x7F, those of captions and the rebuild 0x2F
// and 0x6F.
TEST(CodecTable, RangesOfEachUseAtTheirEdges) {
    struct Case {
        SlotKind kind;
        std::int32_t code;
        std::optional<Codec> found, captioned, rebuilt;
    };
    constexpr auto V = SlotKind::Video, A = SlotKind::Audio, S = SlotKind::Subpicture;
    constexpr auto none = std::nullopt;
    const Case cases[] = {
        {V, 0x54, none, none, none},
        {V, 0x55, Codec::Vc1, Codec::Vc1, Codec::Vc1},
        {V, 0x56, Codec::Vc1, Codec::Vc1, Codec::Vc1},
        {V, 0x57, none, none, none},
        {V, 0xDF, none, none, none},
        {V, 0xE1, Codec::Mpeg2, Codec::Mpeg2, Codec::Mpeg2},
        {V, 0xE2, Codec::H264, Codec::H264, Codec::H264},
        {V, 0xE4, none, none, none},
        {A, 0x7F, none, none, none},
        {A, 0x87, Codec::DD, Codec::DD, Codec::DD},
        {A, 0x88, Codec::DtsHd, Codec::DtsHd, Codec::DtsHd},
        {A, 0x90, none, none, none},
        {A, 0x9F, none, none, none},
        {A, 0xA7, Codec::Lpcm, Codec::Lpcm, Codec::Lpcm},
        {A, 0xA8, none, none, none},
        {A, 0xB0, Codec::Mlp, Codec::Mlp, Codec::Mlp},
        {A, 0xB8, none, none, none},
        {A, 0xBF, none, none, none},
        {A, 0xCF, Codec::DDPlus, Codec::DDPlus, Codec::DDPlus},
        {A, 0xD0, none, none, none},
        {S, 0x1F, none, none, none},
        {S, 0x20, Codec::Subpicture, Codec::Subpicture, Codec::Subpicture},
        {S, 0x2F, Codec::Subpicture, Codec::Subpicture, Codec::Subpicture},
        {S, 0x30, Codec::Subpicture, none, none},
        {S, 0x3F, Codec::Subpicture, none, none},
        {S, 0x40, none, none, none},
        {S, 0x5F, none, none, none},
        {S, 0x60, Codec::ExtSubpicture, Codec::ExtSubpicture, Codec::ExtSubpicture},
        {S, 0x6F, Codec::ExtSubpicture, Codec::ExtSubpicture, Codec::ExtSubpicture},
        {S, 0x70, Codec::ExtSubpicture, none, none},
        {S, 0x7F, Codec::ExtSubpicture, none, none},
        {S, 0x80, none, none, none},
        // A code of another kind is no stream of this one.
        {V, 0x80, none, none, none},
        {A, 0xE0, none, none, none},
    };
    for (const auto& c : cases) {
        const std::optional<Codec> expected[] = {c.found, c.captioned, c.rebuilt};
        for (int use = 0; use < 3; ++use)
            EXPECT_EQ(codecAt(kUses[use], c.kind, c.code), expected[use])
                << "code 0x" << std::hex << c.code << ", use " << use;
    }
}

}  // namespace
}  // namespace tarnwell
