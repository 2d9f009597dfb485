#include "rebuild/pack_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <vector>

#include "pack_fixtures.h"

namespace tarnwell::testing {
namespace {

using fixture::PackWriter;

std::int32_t* rowEntry(StreamTable& table, SlotKind kind, int n) {
    switch (kind) {
        case SlotKind::Video:
            return &table.VideoIds[n];
        case SlotKind::Audio:
            return &table.AudioIds[n];
        case SlotKind::Subpicture:
            return &table.SubIds[n];
    }
    return nullptr;
}

struct Rig {
    StreamTable table;
    StreamSelection selection;
    RenumberingState ids;
    PackRules rules{table, selection, ids};

    // A stream found by a scan: its table entry, and its slot ticked.
    void found(SlotKind kind, int n, std::int32_t code, bool checked = true) {
        *rowEntry(table, kind, n) = code;
        selection.setChecked(kind, n, checked);
    }

    // Judges a copy of the pack; the copy as written, or nothing when left out.
    std::optional<Bytes> judge(const Bytes& pack) {
        Bytes copy = pack;
        if (!rules.RebuildPack(copy.data(), copy.size())) return std::nullopt;
        return copy;
    }
};

// ---- The selection and numbering ---------------------------------------------------------

TEST(PackRules, SelectionAndNumberingExample) {
    Rig rig;
    rig.found(SlotKind::Video, 0, 0x55);
    rig.found(SlotKind::Audio, 0, 0xC0, false);
    rig.found(SlotKind::Audio, 1, 0xC1);
    rig.found(SlotKind::Audio, 2, 0xC2);
    rig.found(SlotKind::Subpicture, 0, 0x20, false);
    rig.found(SlotKind::Subpicture, 1, 0x21, false);
    rig.found(SlotKind::Subpicture, 2, 0x22);

    const std::vector<std::pair<StreamRef, int>> sequence = {
        {StreamRef::vc1(0), 0x55},    {StreamRef::ddplus(0), -1}, {StreamRef::ddplus(1), 0xC0},
        {StreamRef::ddplus(2), 0xC1}, {StreamRef::sub(0), -1},    {StreamRef::sub(1), -1},
        {StreamRef::sub(2), 0x20},    {StreamRef::vc1(0), 0x55},  {StreamRef::ddplus(2), 0xC1},
        {StreamRef::ddplus(0), -1},   {StreamRef::sub(2), 0x20},  {StreamRef::ddplus(1), 0xC0},
    };
    for (const auto& [stream, expected] : sequence) {
        const Bytes pack = packOf(stream);
        const auto written = rig.judge(pack);
        SCOPED_TRACE(::testing::Message() << "stream 0x" << std::hex << int(stream.code));
        if (expected < 0) {
            EXPECT_FALSE(written);
            continue;
        }
        ASSERT_TRUE(written);
        EXPECT_EQ(codeOf(*written), expected);
        // Only the code byte changes.
        Bytes restored = *written;
        restored[codeOffset(pack)] = stream.code;
        EXPECT_EQ(restored, pack);
    }

    const auto header = rig.judge(navPack(3, 1));
    ASSERT_TRUE(header);
    EXPECT_EQ((*header)[24] & 0x1F, 1);  // one video stream
    EXPECT_EQ((*header)[23] >> 2, 2);    // two audio streams
}

// ---- New ids -----------------------------------------------------------------------------

// The stream a pack of this code belongs to.
StreamRef streamFor(std::uint8_t code) {
    using fixture::Codec;
    if (code == 0x55 || code == 0x56) return {Codec::Vc1Video, code};
    if (code == 0xE0 || code == 0xE1) return {Codec::Mpeg2Video, code};
    if (code == 0xE2 || code == 0xE3) return {Codec::H264Video, code};
    if (code >= 0x80 && code <= 0x87) return {Codec::DD, code};
    if (code >= 0x88 && code <= 0x8F) return {Codec::DTSHD, code};
    if (code >= 0xA0 && code <= 0xA7) return {Codec::LPCM, code};
    if (code >= 0xB0 && code <= 0xB7) return {Codec::MLP, code};
    if (code >= 0xC0 && code <= 0xCF) return {Codec::DDPlus, code};
    if (code >= 0x60 && code <= 0x6F) return {Codec::ExtSubpicture, code};
    return {Codec::Subpicture, code};
}

using Renumbering = std::vector<std::pair<std::uint8_t, std::uint8_t>>;  // old id, new id

// `count` streams from `first` on, taking new ids from `firstNew` on.
Renumbering series(int first, int count, int firstNew) {
    Renumbering out;
    for (int i = 0; i < count; ++i)
        out.emplace_back(static_cast<std::uint8_t>(first + i),
                         static_cast<std::uint8_t>(firstNew + i));
    return out;
}

Renumbering join(std::initializer_list<Renumbering> parts) {
    Renumbering out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

struct NumberingCase {
    const char* what;
    Renumbering streams;  // in order of first occurrence, every one kept
};

TEST(PackRules, NewIdsInOrderOfFirstOccurrence) {
    const NumberingCase cases[] = {
        {"first occurrence, not slot order",
         {{0xC1, 0xC0}, {0xC0, 0xC1}, {0x25, 0x20}, {0x20, 0x21}}},
        {"one counter for every audio codec", {{0x88, 0x88}, {0xC1, 0xC1}, {0xA2, 0xA2}}},
        {"VC-1", {{0x56, 0x55}, {0x55, 0x56}}},
        {"MPEG-2 then VC-1", {{0xE1, 0xE0}, {0x56, 0x56}}},
        {"H.264", {{0xE3, 0xE2}, {0xE2, 0xE3}}},
        // More kept streams than a codec has ids: the old id while it is free ...
        {"DD after eight DD+",
         join({series(0xC0, 8, 0xC0), {{0x83, 0x83}, {0x80, 0x80}, {0xCF, 0xCA}}})},
        // ... else the lowest free id of the codec.
        {"sixteenth DD+ after a DD",
         join({{{0x80, 0x80}}, series(0xC0, 15, 0xC1), {{0xCF, 0xC0}}})},
        // 0xE2 OR a counter of 2 is 0xE2 again, already given.
        {"H.264 number already given", {{0xE3, 0xE2}, {0x55, 0x56}, {0xE2, 0xE3}}},
        // 0x8F, kept under its old id, is not handed out again at counter 15.
        {"old id kept, not given later", join({{{0x8E, 0x88}},
                                               series(0xC0, 7, 0xC1),
                                               {{0x8F, 0x8F}},
                                               series(0xC7, 6, 0xC9),
                                               {{0x89, 0x89}}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        for (const auto& [old, expected] : c.streams) {
            const auto written = rig.judge(packOf(streamFor(old)));
            ASSERT_TRUE(written);
            EXPECT_EQ(codeOf(*written), expected) << "stream 0x" << std::hex << int(old);
        }
    }
}

// ---- System headers ----------------------------------------------------------------------

TEST(PackRules, SystemHeaderBoundsFromCheckedSlots) {
    Rig rig;
    rig.selection.setChecked(SlotKind::Video, 1, true);
    rig.selection.setChecked(SlotKind::Audio, 3, true);
    rig.selection.setChecked(SlotKind::Audio, 15, true);
    // Slots outside the bounds' reach change nothing.
    rig.selection.setChecked(SlotKind::Video, 4, true);
    rig.selection.setChecked(SlotKind::Subpicture, 0, true);

    Bytes pack = navPack(4, 2);
    pack[23] = 0x12;  // audio bound 4, fixed_flag set
    pack[24] = 0xE2;  // both lock flags, marker, video bound 2
    const auto written = rig.judge(pack);
    ASSERT_TRUE(written);
    EXPECT_EQ((*written)[23], 0x0A);
    EXPECT_EQ((*written)[24], 0xE1);
    // The private stream 2 data and everything else stay as they are.
    Bytes restored = *written;
    restored[23] = 0x12;
    restored[24] = 0xE2;
    EXPECT_EQ(restored, pack);
}

TEST(PackRules, SystemHeaderKeepsFlagBits) {
    Rig rig;
    for (int n = 0; n < 16; ++n) rig.selection.setChecked(SlotKind::Audio, n, true);
    Bytes pack = navPack(0, 0);
    pack[23] = 0x03;  // fixed_flag and CSPS_flag
    pack[24] = 0x1F;  // no lock flags, no marker, video bound 31
    const auto written = rig.judge(pack);
    ASSERT_TRUE(written);
    EXPECT_EQ((*written)[23], 0x43);
    EXPECT_EQ((*written)[24], 0x00);
}

TEST(PackRules, NotAPackIsLeftOutWhateverItHolds) {
    Rig rig;
    const std::vector<std::uint8_t> zeros(kPackSize, 0);
    EXPECT_FALSE(rig.judge(zeros));

    Bytes broken = packOf(StreamRef::ddplus(0));
    broken[3] = 0xBB;
    EXPECT_FALSE(rig.judge(broken));
    // A block that fails the test makes no entry.
    EXPECT_EQ(rig.ids.NewIds[0xC0], kNoNewId);
    EXPECT_EQ(rig.ids.NextAudioNo, 0);
}

TEST(PackRules, PaddingAndPrivateStream2PacksAreCopied) {
    Rig rig;
    PackWriter writer;
    writer.paddingPack();
    const Bytes padding = writer.take();
    EXPECT_EQ(rig.judge(padding), padding);

    Bytes navigation = fixture::packHeader(1200);
    fixture::append(navigation, fixture::privateStream2(Bytes(kPackSize - 14 - 6, 0x5A)));
    ASSERT_EQ(navigation.size(), kPackSize);
    EXPECT_EQ(rig.judge(navigation), navigation);
}

// ---- The table and the selection at the moment of each pack ------------------------------

TEST(PackRules, CodesAbsentFromTheTableAreKeptAndRenumbered) {
    Rig rig;  // before any Read: the table holds -1 everywhere
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::ddplus(3)))), 0xC0);
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::sub(7)))), 0x20);

    // After a playlist read the table holds 1 for the listed streams; unchecked slots of
    // such streams don't match any code.
    Rig playlist;
    playlist.found(SlotKind::Audio, 0, 1, false);
    playlist.found(SlotKind::Subpicture, 0, 1, false);
    EXPECT_EQ(codeOf(*playlist.judge(packOf(StreamRef::dd(2)))), 0x80);
    EXPECT_EQ(codeOf(*playlist.judge(packOf(StreamRef::sub(1)))), 0x20);
}

TEST(PackRules, UncheckAndCheckAgainHalfway) {
    Rig rig;
    rig.found(SlotKind::Audio, 0, 0xC0);
    rig.found(SlotKind::Audio, 1, 0xC1);
    const Bytes first = packOf(StreamRef::ddplus(0));
    const Bytes second = packOf(StreamRef::ddplus(1));

    EXPECT_EQ(codeOf(*rig.judge(second)), 0xC0);
    EXPECT_EQ(codeOf(*rig.judge(first)), 0xC1);
    rig.selection.setChecked(SlotKind::Audio, 1, false);
    EXPECT_FALSE(rig.judge(second));
    EXPECT_EQ(codeOf(*rig.judge(first)), 0xC1);
    rig.selection.setChecked(SlotKind::Audio, 1, true);
    EXPECT_EQ(codeOf(*rig.judge(second)), 0xC0);
}

TEST(PackRules, StreamCheckedOnlyLaterTakesTheCounterOfThatMoment) {
    Rig rig;
    rig.found(SlotKind::Subpicture, 0, 0x20, false);
    rig.found(SlotKind::Subpicture, 1, 0x21);
    EXPECT_FALSE(rig.judge(packOf(StreamRef::sub(0))));
    EXPECT_EQ(rig.ids.NewIds[0x20], kNoNewId);
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::sub(1)))), 0x20);
    rig.selection.setChecked(SlotKind::Subpicture, 0, true);
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::sub(0)))), 0x21);
}

TEST(PackRules, TableChangesTakeEffectFromTheNextPack) {
    Rig rig;
    rig.selection.setChecked(SlotKind::Audio, 4, false);
    EXPECT_TRUE(rig.judge(packOf(StreamRef::dtshd(4))));
    rig.table.AudioIds[4] = 0x8C;
    EXPECT_FALSE(rig.judge(packOf(StreamRef::dtshd(4))));
}

// ---- Every stream kind of the filter -----------------------------------------------------

struct KindCase {
    StreamRef stream;
    SlotKind group;
    std::uint8_t firstNewId;  // its id as the group's first kept stream
};

TEST(PackRules, EveryFilteredKindIsDroppedOrRenumbered) {
    const KindCase cases[] = {
        {StreamRef::ddplus(5), SlotKind::Audio, 0xC0},
        {StreamRef::dtshd(5), SlotKind::Audio, 0x88},
        {StreamRef::sub(5), SlotKind::Subpicture, 0x20},
        {StreamRef::dd(5), SlotKind::Audio, 0x80},
        {StreamRef::lpcm(5), SlotKind::Audio, 0xA0},
        {StreamRef::mlp(5), SlotKind::Audio, 0xB0},
        {StreamRef::extSub(5), SlotKind::Subpicture, 0x60},
        {StreamRef::vc1(1), SlotKind::Video, 0x55},
        {StreamRef::mpeg2(1), SlotKind::Video, 0xE0},
        {StreamRef::h264(1), SlotKind::Video, 0xE2},
        {StreamRef::mpegAudio(5), SlotKind::Audio, 0xC0},
        {{fixture::Codec::MpegAudio, 0xD5}, SlotKind::Audio, 0xD0},
        {{fixture::Codec::MpegAudio, 0xDD}, SlotKind::Audio, 0xD8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "stream 0x" << std::hex << int(c.stream.code));
        const int slot = c.group == SlotKind::Video ? 1 : 5;
        const Bytes pack = packOf(c.stream, 1, 90000);

        Rig dropped;
        dropped.found(c.group, slot, c.stream.code, false);
        EXPECT_FALSE(dropped.judge(pack));

        Rig kept;
        kept.found(c.group, slot, c.stream.code);
        const auto written = kept.judge(pack);
        ASSERT_TRUE(written);
        EXPECT_EQ(codeOf(*written), c.firstNewId);
        EXPECT_EQ(kept.ids.NewIds[c.stream.code], c.firstNewId);
    }
}

TEST(PackRules, KindsOutsideTheFilterAreCopiedWithoutAnEntry) {
    const StreamRef streams[] = {
        {fixture::Codec::LPCM, 0xA9},       {fixture::Codec::MLP, 0xB9},
        {fixture::Codec::Subpicture, 0x35}, {fixture::Codec::ExtSubpicture, 0x75},
        {fixture::Codec::DD, 0x90},         {fixture::Codec::Vc1Video, 0x57},
    };
    for (const auto& stream : streams) {
        SCOPED_TRACE(::testing::Message() << "stream 0x" << std::hex << int(stream.code));
        Rig rig;
        rig.selection.setChecked(SlotKind::Audio, 0, false);
        const Bytes pack = packOf(stream);
        EXPECT_EQ(rig.judge(pack), pack);
        EXPECT_EQ(rig.ids.NewIds[stream.code], kNoNewId);
    }
}

// The ids of each codec, and the id space of the rebuilt pack that they are written into:
// 'P' substream ids of private stream 1, 'S' stream ids, 'X' extensions of 0xFD.
struct CodecIds {
    std::uint8_t first;
    std::uint8_t last;
    char space;
};

TEST(PackRules, NoTwoKeptStreamsEverShareAnId) {
    const CodecIds codecs[] = {
        {0x55, 0x56, 'X'}, {0xE0, 0xE1, 'S'}, {0xE2, 0xE3, 'S'}, {0x80, 0x87, 'P'},
        {0x88, 0x8F, 'P'}, {0xA0, 0xA7, 'P'}, {0xB0, 0xB7, 'P'}, {0xC0, 0xCF, 'P'},
        {0x20, 0x2F, 'P'}, {0x60, 0x6F, 'P'},
    };
    std::vector<std::pair<std::uint8_t, const CodecIds*>> all;
    for (const auto& codec : codecs)
        for (int code = codec.first; code <= codec.last; ++code)
            all.emplace_back(static_cast<std::uint8_t>(code), &codec);

    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::shuffle(all.begin(), all.end(), random);
        const auto take = std::uniform_int_distribution<std::size_t>(1, all.size())(random);
        Rig rig;
        std::map<std::pair<char, int>, std::uint8_t> owner;  // (space, new id) -> old id
        for (std::size_t i = 0; i < take; ++i) {
            const auto [old, codec] = all[i];
            const auto written = rig.judge(packOf(streamFor(old)));
            ASSERT_TRUE(written);
            const std::uint8_t id = codeOf(*written);
            SCOPED_TRACE(::testing::Message() << "round " << round << ", stream 0x" << std::hex
                                              << int(old) << " -> 0x" << int(id));
            EXPECT_GE(id, codec->first);
            EXPECT_LE(id, codec->last);
            const auto [at, inserted] = owner.emplace(std::pair(codec->space, id), old);
            EXPECT_TRUE(inserted || at->second == old);
        }
    }
}

// ---- Short blocks ------------------------------------------------------------------------

TEST(PackRules, ShortBlockReadsNothingOfTheEarlierPack) {
    // The buffer still holds a whole pack of an unchecked DD+ stream when a short block is
    // read over it: the block is judged as if its tail were zero.
    const Bytes stale = packOf(StreamRef::ddplus(1));
    const Bytes fronts[] = {stale, navPack(1, 1), packOf(StreamRef::mpeg2(0))};
    for (const auto& front : fronts) {
        for (const std::size_t n : {0u, 3u, 4u, 17u, 18u, 22u, 23u, 24u, 25u, 40u, 2047u}) {
            SCOPED_TRACE(::testing::Message() << "stream id 0x" << std::hex << int(front[17])
                                              << std::dec << ", n = " << n);
            Bytes overStale = stale;
            Bytes overZeros(kPackSize, 0);
            std::copy_n(front.begin(), n, overStale.begin());
            std::copy_n(front.begin(), n, overZeros.begin());

            Rig a;
            a.found(SlotKind::Audio, 1, 0xC1, false);
            Rig b;
            b.found(SlotKind::Audio, 1, 0xC1, false);
            EXPECT_EQ(a.rules.RebuildPack(overStale.data(), n),
                      b.rules.RebuildPack(overZeros.data(), n));
            EXPECT_TRUE(std::equal(overStale.begin(), overStale.begin() + n, overZeros.begin()));
            EXPECT_TRUE(std::equal(overStale.begin() + n, overStale.end(), stale.begin() + n));
        }
    }
}

TEST(PackRules, ShortBlockWithAWholeHeaderIsRenumbered) {
    Rig rig;
    rig.found(SlotKind::Audio, 2, 0xC2);
    Bytes buffer = packOf(StreamRef::ddplus(2));
    const std::size_t n = codeOffset(buffer) + 1;
    ASSERT_TRUE(rig.rules.RebuildPack(buffer.data(), n));
    EXPECT_EQ(codeOf(buffer), 0xC0);
}

TEST(PackRules, ShortBlockWhoseCodeLiesBeyondItsEndIsKeptUnchanged) {
    Rig rig;
    rig.found(SlotKind::Audio, 2, 0xC2, false);
    Bytes buffer = packOf(StreamRef::ddplus(2));
    const Bytes before = buffer;
    const std::size_t n = codeOffset(buffer);
    EXPECT_TRUE(rig.rules.RebuildPack(buffer.data(), n));
    EXPECT_EQ(buffer, before);
}

}  // namespace
}  // namespace tarnwell::testing
