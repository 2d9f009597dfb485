#include "rebuild/pack_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "evo_builder.h"

namespace tarnwell {
namespace {

using fixture::Bytes;
using fixture::PackWriter;
using fixture::StreamRef;

// One pack of the stream, 2048 bytes.
Bytes packOf(const StreamRef& stream, bool withPts = false) {
    PackWriter writer;
    writer.write(stream, fixture::randomPayload(300, stream.code),
                 withPts ? std::optional<std::uint64_t>(90000) : std::nullopt);
    return writer.take();
}

Bytes navPack(int audioBound, int videoBound) {
    PackWriter writer;
    writer.navPack(audioBound, videoBound);
    return writer.take();
}

// Where a pack's stream code lies: the substream id of private stream 1, the extension of
// 0xFD, otherwise the stream id.
std::size_t codeOffset(const Bytes& pack) {
    const std::uint8_t id = pack[17];
    if (id == 0xBD) return 23 + pack[22];
    if (id == 0xFD) return 22 + pack[22];
    return 17;
}

std::uint8_t codeOf(const Bytes& pack) {
    return pack[codeOffset(pack)];
}

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
        SCOPED_TRACE(testing::Message() << "stream 0x" << std::hex << int(stream.code));
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

TEST(PackRules, NewIdsFollowFirstOccurrenceNotSlotOrder) {
    Rig rig;
    rig.found(SlotKind::Audio, 0, 0xC0);
    rig.found(SlotKind::Audio, 1, 0xC1);
    rig.found(SlotKind::Subpicture, 0, 0x20);
    rig.found(SlotKind::Subpicture, 5, 0x25);

    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::ddplus(1)))), 0xC0);
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::ddplus(0)))), 0xC1);
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::sub(5)))), 0x20);
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::sub(0)))), 0x21);
    EXPECT_EQ(rig.ids.NextAudioNo, 2);
    EXPECT_EQ(rig.ids.NextSubNo, 2);
}

TEST(PackRules, OneCounterServesEveryCodecOfAGroup) {
    Rig rig;
    rig.found(SlotKind::Audio, 0, 0x88);
    rig.found(SlotKind::Audio, 1, 0xC1);
    rig.found(SlotKind::Audio, 2, 0xA2);
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::dtshd(0)))), 0x88);
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::ddplus(1)))), 0xC1);
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::lpcm(2)))), 0xA2);
}

struct VideoCase {
    StreamRef first;
    StreamRef second;
    std::uint8_t firstNew;
    std::uint8_t secondNew;
};

TEST(PackRules, VideoNumbering) {
    const VideoCase cases[] = {
        {StreamRef::vc1(1), StreamRef::vc1(0), 0x55, 0x56},
        {StreamRef::mpeg2(1), StreamRef::mpeg2(0), 0xE0, 0xE1},
        {StreamRef::h264(1), StreamRef::h264(0), 0xE2, 0xE3},
        {StreamRef::mpeg2(1), StreamRef::vc1(1), 0xE0, 0x56},
    };
    for (const auto& c : cases) {
        Rig rig;
        const auto first = rig.judge(packOf(c.first));
        const auto second = rig.judge(packOf(c.second));
        ASSERT_TRUE(first && second);
        EXPECT_EQ(codeOf(*first), c.firstNew);
        EXPECT_EQ(codeOf(*second), c.secondNew);
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
        SCOPED_TRACE(testing::Message() << "stream 0x" << std::hex << int(c.stream.code));
        const int slot = c.group == SlotKind::Video ? 1 : 5;
        const Bytes pack = packOf(c.stream, true);

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
        SCOPED_TRACE(testing::Message() << "stream 0x" << std::hex << int(stream.code));
        Rig rig;
        rig.selection.setChecked(SlotKind::Audio, 0, false);
        const Bytes pack = packOf(stream);
        EXPECT_EQ(rig.judge(pack), pack);
        EXPECT_EQ(rig.ids.NewIds[stream.code], kNoNewId);
    }
}

// ---- More kept streams than a codec has ids ----------------------------------------------

TEST(PackRules, OverflowKeepsTheOldIdWhenItIsFree) {
    Rig rig;
    // Eight DD+ streams take audio numbers 0..7; DD streams can then no longer be numbered
    // within 0x80..0x87 and keep their own ids.
    for (int n = 0; n < 8; ++n)
        EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::ddplus(n)))), 0xC0 + n);
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::dd(3)))), 0x83);
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::dd(0)))), 0x80);
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::ddplus(15)))), 0xCA);
}

TEST(PackRules, OverflowTakesTheLowestFreeIdWhenTheOldOneIsTaken) {
    Rig rig;
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::dd(0)))), 0x80);
    for (int n = 0; n < 15; ++n)
        EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::ddplus(n)))), 0xC1 + n);
    // The sixteenth DD+ stream would be 0xD0; its own 0xCF is held by the fifteenth.
    EXPECT_EQ(codeOf(*rig.judge(packOf(StreamRef::ddplus(15)))), 0xC0);
}

TEST(PackRules, NumberedIdAlreadyHeldIsNotHandedOutTwice) {
    // H.264 ids are 0xE2 OR the counter: with the counter at 2 that is 0xE2 again.
    Rig video;
    EXPECT_EQ(codeOf(*video.judge(packOf(StreamRef::h264(1)))), 0xE2);
    EXPECT_EQ(codeOf(*video.judge(packOf(StreamRef::vc1(0)))), 0x56);
    EXPECT_EQ(codeOf(*video.judge(packOf(StreamRef::h264(0)))), 0xE3);

    // A DTS-HD stream that kept its old id (0x8F) is not given to a later one.
    Rig audio;
    EXPECT_EQ(codeOf(*audio.judge(packOf(StreamRef::dtshd(6)))), 0x88);
    for (int n = 0; n < 7; ++n) audio.judge(packOf(StreamRef::ddplus(n)));
    EXPECT_EQ(codeOf(*audio.judge(packOf(StreamRef::dtshd(7)))), 0x8F);
    for (int n = 7; n < 13; ++n) audio.judge(packOf(StreamRef::ddplus(n)));
    ASSERT_EQ(audio.ids.NextAudioNo, 15);
    EXPECT_EQ(codeOf(*audio.judge(packOf(StreamRef::dtshd(1)))), 0x89);
}

// Every id a codec may carry, and the id space the rebuilt pack writes it into.
struct CodecIds {
    StreamRef (*make)(int);
    int count;
    std::uint8_t first;
    std::uint8_t last;
    char space;  // 'P' substream id of private stream 1, 'S' stream id, 'X' extension
};

TEST(PackRules, NoTwoKeptStreamsEverShareAnId) {
    const CodecIds codecs[] = {
        {StreamRef::vc1, 2, 0x55, 0x56, 'X'},   {StreamRef::mpeg2, 2, 0xE0, 0xE1, 'S'},
        {StreamRef::h264, 2, 0xE2, 0xE3, 'S'},  {StreamRef::dd, 8, 0x80, 0x87, 'P'},
        {StreamRef::dtshd, 8, 0x88, 0x8F, 'P'}, {StreamRef::ddplus, 16, 0xC0, 0xCF, 'P'},
        {StreamRef::lpcm, 8, 0xA0, 0xA7, 'P'},  {StreamRef::mlp, 8, 0xB0, 0xB7, 'P'},
        {StreamRef::sub, 16, 0x20, 0x2F, 'P'},  {StreamRef::extSub, 16, 0x60, 0x6F, 'P'},
    };
    struct Stream {
        StreamRef ref;
        const CodecIds* codec;
    };
    std::vector<Stream> all;
    for (const auto& codec : codecs)
        for (int n = 0; n < codec.count; ++n) all.push_back({codec.make(n), &codec});

    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::shuffle(all.begin(), all.end(), random);
        const auto take = std::uniform_int_distribution<std::size_t>(1, all.size())(random);
        Rig rig;
        std::map<std::pair<char, int>, std::uint8_t> owner;  // (space, new id) -> old code
        for (std::size_t i = 0; i < take; ++i) {
            const auto& stream = all[i];
            const auto written = rig.judge(packOf(stream.ref));
            ASSERT_TRUE(written);
            const std::uint8_t id = codeOf(*written);
            SCOPED_TRACE(testing::Message() << "round " << round << ", stream 0x" << std::hex
                                            << int(stream.ref.code) << " -> 0x" << int(id));
            EXPECT_GE(id, stream.codec->first);
            EXPECT_LE(id, stream.codec->last);
            const auto [at, inserted] =
                owner.emplace(std::pair(stream.codec->space, id), stream.ref.code);
            EXPECT_TRUE(inserted || at->second == stream.ref.code);
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
            SCOPED_TRACE(testing::Message() << "stream id 0x" << std::hex << int(front[17])
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
}  // namespace tarnwell
