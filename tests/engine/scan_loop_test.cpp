// Whole runs of the scan loop: the order of its steps, progress, cancel, the fast-check
// limit, the system header summary, large files, and what reaches the outputs.

#include "engine/scan_loop.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine_harness.h"

namespace tarnwell {
namespace {

using fixture::Bytes;
using fixture::PackWriter;
using fixture::StreamRef;
using testing::concat;
using testing::EngineHarness;
using testing::hex;

constexpr std::int64_t kMiB = 1048576;
constexpr std::int64_t kGiB = 1024 * kMiB;
constexpr double kSecond = 1.0 / 86400.0;

// Packs of the given streams in turn, each pack's payload filling it and starting with a
// VC-1 frame code (so every video pack holds exactly one frame), until `packs` packs.
struct PackFile {
    Bytes bytes;
    std::vector<std::pair<StreamRef, Bytes>> payloads;  // one per pack, in file order
};

PackFile packFile(const std::vector<StreamRef>& pattern, std::size_t packs) {
    PackWriter writer;
    PackFile file;
    for (std::size_t k = 0; k < packs; ++k) {
        const StreamRef& stream = pattern[k % pattern.size()];
        const std::size_t capacity = PackWriter::packCapacity(stream, false);
        Bytes payload =
            concat({hex("00 00 01 0D"),
                    fixture::randomPayload(capacity - 4, static_cast<std::uint32_t>(k))});
        writer.write(stream, payload);
        file.payloads.emplace_back(stream, std::move(payload));
    }
    file.bytes = writer.take();
    return file;
}

Bytes payloadsOf(const PackFile& file, const StreamRef& stream, std::size_t from, std::size_t to) {
    Bytes out;
    for (std::size_t k = from; k < to && k < file.payloads.size(); ++k)
        if (file.payloads[k].first.code == stream.code &&
            file.payloads[k].first.codec == stream.codec)
            fixture::append(out, file.payloads[k].second);
    return out;
}

// ---- System header summary ----------------------------------------------------------------

Bytes summaryInput(int videoBound, int audioBound, std::size_t size) {
    Bytes input = concat({fixture::packHeader(), fixture::systemHeader(audioBound, videoBound)});
    input[23] |= 0x03;  // fixed_flag and CSPS_flag share the audio bound's byte
    testing::padTo(input, size);
    return input;
}

TEST(SystemHeaderSummary, CountsAndPluralsInBothModes) {
    struct Case {
        int videos, audios;
        const char* line;
    };
    const Case cases[] = {
        {1, 3, "It contains 1 video stream and 3 audio streams."},
        {0, 0, "It contains 0 video stream and 0 audio stream."},
        {1, 1, "It contains 1 video stream and 1 audio stream."},
        {2, 2, "It contains 2 video streams and 2 audio streams."},
        {31, 63, "It contains 31 video streams and 63 audio streams."},
    };
    for (const auto& c : cases) {
        for (const ScanMode mode : {ScanMode::Read, ScanMode::Demux}) {
            SCOPED_TRACE(c.line);
            EngineHarness h;
            h.setInput(summaryInput(c.videos, c.audios, 70000));
            runScan(mode, h.context);
            EXPECT_EQ(h.sink.lines, std::vector<std::string>{c.line});
        }
    }
}

TEST(SystemHeaderSummary, OnlyForAFirstBlockReadInFull) {
    struct Case {
        const char* name;
        Bytes input;
        std::size_t lines;
    };
    Bytes blocks = summaryInput(1, 2, 32768);
    blocks = concat({blocks, blocks, blocks});
    Bytes shifted = concat({hex("00"), summaryInput(1, 2, 40000)});
    const Case cases[] = {
        {"one byte short of a block", summaryInput(1, 2, 32767), 0},
        {"exactly one block", summaryInput(1, 2, 32768), 1},
        {"once per run", blocks, 1},
        {"system header not right after the pack header", shifted, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        h.setInput(c.input);
        h.read();
        EXPECT_EQ(h.sink.lines.size(), c.lines);
    }
}

// ---- Progress, events and repaint -----------------------------------------------------------

TEST(Progress, ExactlyFourMebibytesGivesOneTextWithOneSecondLeft) {
    for (const ScanMode mode : {ScanMode::Read, ScanMode::Demux}) {
        EngineHarness h;
        h.setInput(Bytes(4 * kMiB, 0));
        std::size_t textsAtEvent = 0;
        h.host.onProcessEvents = [&] { textsAtEvent = h.sink.status.size(); };
        runScan(mode, h.context);
        const std::string word = mode == ScanMode::Read ? "Reading " : "Demuxing ";
        EXPECT_EQ(
            h.sink.statusTexts(1),
            std::vector<std::string>{word + "FEATURE_1.EVO 4/4 Mbytes, Remaining time: 0:00:01"});
        EXPECT_TRUE(h.sink.statusTexts(0).empty());
        EXPECT_EQ(h.host.eventRounds, 1);
        EXPECT_EQ(textsAtEvent, 1u);  // the text is shown before events run
        EXPECT_EQ(h.host.repaints, 0);
    }
}

TEST(Progress, OnlyAtMultiplesOfFourMebibytes) {
    struct Case {
        std::int64_t size;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {4 * kMiB - 1, {}},
        {4 * kMiB + 1, {"Reading FEATURE_1.EVO 4/4 Mbytes, Remaining time: 0:00:01"}},
        {9 * kMiB - 5,
         {"Reading FEATURE_1.EVO 4/8 Mbytes, Remaining time: 0:00:01",
          "Reading FEATURE_1.EVO 8/8 Mbytes, Remaining time: 0:00:01"}},
        {0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        EngineHarness h;
        h.setInput(Bytes(static_cast<std::size_t>(c.size), 0));
        h.read();
        EXPECT_EQ(h.sink.statusTexts(1), c.texts);
        EXPECT_EQ(h.host.eventRounds, static_cast<int>(c.texts.size()));
    }
}

TEST(Progress, RemainingTimeFromTheClock) {
    struct Case {
        double elapsedAtHalf;  // days elapsed when half of the file is read
        const char* remaining;
    };
    const Case cases[] = {
        {10 * kSecond, "0:00:11"},
        {3600 * kSecond, "1:00:01"},
        {(3600 + 61) * kSecond, "1:01:02"},
        {30 * 3600 * kSecond, "6:00:01"},  // a day or more wraps around
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.remaining);
        EngineHarness h;
        h.setInput(Bytes(8 * kMiB, 0));
        // The run's start, then every later reading half-way through the file.
        const double start = 45000.25;
        int calls = 0;
        h.host.clock = [&] { return ++calls == 1 ? start : start + c.elapsedAtHalf; };
        h.read();
        EXPECT_EQ(h.sink.statusTexts(1)[0],
                  std::string("Reading FEATURE_1.EVO 4/8 Mbytes, Remaining time: ") + c.remaining);
    }
}

TEST(Progress, RepaintEverySixtyFourMebibytes) {
    EngineHarness h;
    testing::SparseDir sparse;
    testing::writeSparseFile(sparse.file("FEATURE_1.EVO"), 128 * kMiB + 100, {});
    h.openInput(sparse.file("FEATURE_1.EVO"));
    h.read();
    EXPECT_EQ(h.host.repaints, 2);
    EXPECT_EQ(h.host.eventRounds, 32);
    EXPECT_EQ(h.sink.statusTexts(1).back(),
              "Reading FEATURE_1.EVO 128/128 Mbytes, Remaining time: 0:00:01");
}

// ---- Start and end of a run -----------------------------------------------------------------

TEST(RunLifecycle, EmptyFile) {
    for (const ScanMode mode : {ScanMode::Read, ScanMode::Demux}) {
        EngineHarness h;
        h.setInput({});
        h.state.streamTable.AudioIds[3] = 0x83;
        h.state.streamTable.SubIds[30] = 0x3E;
        h.state.CancelRequested = true;
        h.state.Demuxing = mode == ScanMode::Read;
        h.state.FrameCount = {3, 4};
        runScan(mode, h.context);
        EXPECT_EQ(h.state.streamTable, StreamTable{});
        EXPECT_EQ(h.host.cancelStates, (std::vector<bool>{true, false}));
        EXPECT_FALSE(h.state.CancelRequested);
        EXPECT_EQ(h.state.Demuxing, mode == ScanMode::Demux);
        EXPECT_EQ(h.state.FrameCount, (std::array<std::int32_t, 2>{3, 4}));  // the jobs reset it
        EXPECT_TRUE(h.sink.lines.empty());
        EXPECT_TRUE(h.sink.status.empty());
        EXPECT_EQ(h.host.eventRounds, 0);
    }
}

TEST(RunLifecycle, CancelAtAFourMebibyteBoundary) {
    EngineHarness h;
    const PackFile file = packFile({StreamRef::vc1(0), StreamRef::dd(1)}, 6000);
    h.setInput(file.bytes);
    h.output(SlotKind::Video, 0);
    h.output(SlotKind::Audio, 1);
    bool demuxingSeen = false;
    bool cancelEnabledSeen = false;
    h.host.onProcessEvents = [&] {
        demuxingSeen = h.state.Demuxing;
        cancelEnabledSeen = h.host.isEnabled(Command::Cancel);
        h.state.CancelRequested = true;  // what the Cancel command does once confirmed
    };
    h.demuxAll();

    EXPECT_TRUE(demuxingSeen);
    EXPECT_TRUE(cancelEnabledSeen);
    EXPECT_TRUE(h.state.CancelRequested);
    EXPECT_EQ(h.state.FrameCount, (std::array<std::int32_t, 2>{0, 0}));
    EXPECT_EQ(h.state.InFile.position(), 4 * kMiB);
    EXPECT_EQ(h.host.eventRounds, 1);
    EXPECT_EQ(h.host.cancelStates, (std::vector<bool>{true, false}));
    // The block in hand was parsed to its end: everything before 4 MiB is out.
    const std::size_t packsBefore = 4 * kMiB / PackWriter::kPackSize;
    EXPECT_EQ(h.written(SlotKind::Video, 0), payloadsOf(file, StreamRef::vc1(0), 0, packsBefore));
    EXPECT_EQ(h.written(SlotKind::Audio, 1), payloadsOf(file, StreamRef::dd(1), 0, packsBefore));
}

// A sparse file past the fast-check limit: VC-1 frames at its start, one stream in the block
// that crosses the limit (it ends at 300,023,808) and one just after that block.
std::string fastCheckFile(const testing::SparseDir& dir) {
    PackWriter start;
    start.write(StreamRef::vc1(0), fixture::vc1Frames(20, 1000, 5));
    testing::writeSparseFile(
        dir.file("FEATURE_1.EVO"), 310000000,
        {{0, start.take()},
         {300010000, fixture::streamPacket(StreamRef::ddplus(2), hex("AA"))},
         {300023808 + 16, fixture::streamPacket(StreamRef::dd(3), hex("BB"))}});
    return dir.file("FEATURE_1.EVO");
}

TEST(FastCheck, ReadModeStopsAfterTheBlockPastTheLimit) {
    EngineHarness h;
    testing::SparseDir sparse;
    h.openInput(fastCheckFile(sparse));
    h.state.FrameCount = {0, 0};
    EXPECT_TRUE(h.read().cutByFastCheck);
    EXPECT_TRUE(h.state.CancelRequested);
    EXPECT_EQ(h.state.FrameCount, (std::array<std::int32_t, 2>{0, 0}));
    EXPECT_EQ(h.state.streamTable.VideoIds[0], 0x55);
    EXPECT_EQ(h.state.streamTable.AudioIds[2], 0xC2);  // in the last block parsed
    EXPECT_EQ(h.state.streamTable.AudioIds[3], -1);
    EXPECT_EQ(h.host.eventRounds, 71);
    EXPECT_EQ(h.host.cancelStates, (std::vector<bool>{true, false}));
}

TEST(FastCheck, OffOrInDemuxModeTheWholeFileIsRead) {
    for (const ScanMode mode : {ScanMode::Read, ScanMode::Demux}) {
        EngineHarness h;
        testing::SparseDir sparse;
        h.openInput(fastCheckFile(sparse));
        h.host.fastCheck = mode == ScanMode::Demux;
        h.output(SlotKind::Video, 0);
        EXPECT_FALSE(runScan(mode, h.context).cutByFastCheck);
        EXPECT_FALSE(h.state.CancelRequested);
        EXPECT_EQ(h.state.InFile.position(), 310000000);
        EXPECT_EQ(h.state.FrameCount, (std::array<std::int32_t, 2>{20, 0}));
        EXPECT_EQ(h.state.streamTable.AudioIds[3], 0x83);
    }
}

TEST(LargeFiles, PastFourGibibytesPositionsStaySixtyFourBit) {
    EngineHarness h;
    const std::int64_t size = 4 * kGiB + 6 * kMiB;
    const Bytes video = fixture::vc1Frames(3, 2000, 11);
    const Bytes sub = fixture::noisePayload(700, 3);
    // The video payload crosses the 4 GiB mark; the subpicture lies beyond it.
    testing::SparseDir sparse;
    testing::writeSparseFile(
        sparse.file("FEATURE_1.EVO"), size,
        {{4 * kGiB - 1000, fixture::streamPacket(StreamRef::vc1(0), video)},
         {4 * kGiB + 5 * kMiB + 3, fixture::streamPacket(StreamRef::sub(0), sub, 0x1FFFFFFFF)}});
    h.openInput(sparse.file("FEATURE_1.EVO"));
    h.output(SlotKind::Video, 0);
    h.output(SlotKind::Subpicture, 0);
    h.demuxAll();

    EXPECT_EQ(h.state.InFile.position(), size);
    EXPECT_EQ(h.state.FrameCount[0], 3);
    const auto texts = h.sink.statusTexts(1);
    ASSERT_EQ(texts.size(), 1025u);
    EXPECT_EQ(texts[1023], "Demuxing FEATURE_1.EVO 4096/4102 Mbytes, Remaining time: 0:00:01");
    EXPECT_EQ(texts[1024], "Demuxing FEATURE_1.EVO 4100/4102 Mbytes, Remaining time: 0:00:01");
    EXPECT_EQ(h.host.repaints, 64);
    EXPECT_EQ(h.written(SlotKind::Video, 0), video);
    EXPECT_EQ(h.written(SlotKind::Subpicture, 0), sub);
    EXPECT_EQ(h.writtenPts(0), hex("FF FF FF FF"));
}

// ---- Outputs and selection --------------------------------------------------------------

TEST(Outputs, ReadModeNeverWrites) {
    EngineHarness h;
    const PackFile file = packFile({StreamRef::vc1(0), StreamRef::dd(0), StreamRef::sub(0)}, 30);
    h.setInput(concat({file.bytes, fixture::streamPacket(StreamRef::sub(0), hex("01"), 1234)}));
    h.output(SlotKind::Video, 0);
    h.output(SlotKind::Audio, 0);
    h.output(SlotKind::Subpicture, 0);
    h.read();
    EXPECT_EQ(h.state.VideoOut[0].size() + h.state.AudioOut[0].size() + h.state.SubOut[0].size() +
                  h.state.SubPtsOut[0].size(),
              0);
    EXPECT_EQ(h.state.FrameCount[0], 10);
}

TEST(Outputs, ATickedStreamWithoutAnOpenOutputIsNeverWritten) {
    EngineHarness h;
    const PackFile file = packFile({StreamRef::dd(0), StreamRef::dd(1), StreamRef::sub(2)}, 30);
    h.setInput(file.bytes);
    h.output(SlotKind::Audio, 0);
    h.tick(SlotKind::Audio, 1);
    h.tick(SlotKind::Subpicture, 2);
    h.tick(SlotKind::Video, 1);
    EXPECT_NO_THROW(h.demuxAll());
    EXPECT_EQ(h.written(SlotKind::Audio, 0), payloadsOf(file, StreamRef::dd(0), 0, 30));
}

TEST(Outputs, SelectionChangesTakeEffectAtTheNextChunk) {
    EngineHarness h;
    const PackFile file = packFile({StreamRef::dd(0), StreamRef::dd(1)}, 4500);
    h.setInput(file.bytes);
    h.output(SlotKind::Audio, 0);
    h.output(SlotKind::Audio, 1);
    h.tick(SlotKind::Audio, 1, false);
    int events = 0;
    h.host.onProcessEvents = [&] {
        if (++events > 1) return;
        h.tick(SlotKind::Audio, 0, false);
        h.tick(SlotKind::Audio, 1, true);
    };
    h.demuxAll();
    // The first events run after the block ending at 4 MiB was read, before it is parsed.
    const std::size_t change = (4 * kMiB - 32768) / PackWriter::kPackSize;
    EXPECT_EQ(h.written(SlotKind::Audio, 0), payloadsOf(file, StreamRef::dd(0), 0, change));
    EXPECT_EQ(h.written(SlotKind::Audio, 1), payloadsOf(file, StreamRef::dd(1), change, 4500));
}

TEST(Outputs, OptionsAreReadWhenNeeded) {
    EngineHarness h;
    const PackFile file = packFile({StreamRef::vc1(1)}, 4500);
    h.setInput(file.bytes);
    h.host.onProcessEvents = [&] { h.host.countFrames = false; };
    h.read();
    EXPECT_EQ(h.state.FrameCount[1], static_cast<std::int32_t>((4 * kMiB - 32768) / 2048));
}

// ---- Frame counting in the loop ----------------------------------------------------------

TEST(FrameCounting, ReadModeCountsEveryVideoStreamDemuxModeOnlyTickedOnes) {
    struct Case {
        const char* name;
        ScanMode mode;
        bool option;
        bool tick0, tick1;
        std::array<std::int32_t, 2> expected;
    };
    const Case cases[] = {
        {"read, nothing ticked", ScanMode::Read, true, false, false, {2 + 7, 5}},
        {"read, option off", ScanMode::Read, false, true, true, {2, 0}},
        {"demux, video 0 ticked", ScanMode::Demux, true, true, false, {2 + 7, 0}},
        {"demux, video 1 ticked", ScanMode::Demux, true, false, true, {2, 5}},
        {"demux, option off", ScanMode::Demux, false, true, true, {2, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        PackWriter writer;
        writer.write(StreamRef::mpeg2(0), fixture::mpeg2Pictures(7, 3000, 1));
        writer.write(StreamRef::h264(1), fixture::h264AccessUnits(5, 3000, 2));
        h.setInput(writer.take());
        h.output(SlotKind::Video, 0);
        h.output(SlotKind::Video, 1);
        h.tick(SlotKind::Video, 0, c.tick0);
        h.tick(SlotKind::Video, 1, c.tick1);
        h.host.countFrames = c.option;
        h.state.FrameCount = {2, 0};  // the loop adds to what the job set
        runScan(c.mode, h.context);
        EXPECT_EQ(h.state.FrameCount, c.expected);
    }
}

TEST(FrameCounting, ACodeCutByABlockBoundary) {
    struct Case {
        const char* beforeBoundary;
        const char* afterBoundary;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"77 00 00 01", "0D 77", 0},  // the 01 ends a chunk
        {"77 00 00", "01 0D 77", 1},  // the next chunk starts 01 0D
        {"77 55 66", "01 0D 77", 1},  // whatever ended the previous chunk
        {"77 00", "00 01 0D", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.beforeBoundary);
        EngineHarness h;
        const Bytes payload = concat({hex(c.beforeBoundary), hex(c.afterBoundary)});
        Bytes input;
        const std::size_t header = fixture::streamPacket(StreamRef::vc1(0), {}).size();
        testing::padTo(input, 32768 - header - hex(c.beforeBoundary).size());
        fixture::append(input, fixture::streamPacket(StreamRef::vc1(0), payload));
        h.setInput(input);
        h.read();
        EXPECT_EQ(h.state.FrameCount[0], c.expected);
    }
}

// ---- Write errors -------------------------------------------------------------------------

TEST(WriteErrors, AFullDeviceStopsTheRunWithAStreamWriteError) {
    EngineHarness h;
    const PackFile file = packFile({StreamRef::vc1(0)}, 400);
    h.setInput(file.bytes);
    h.tick(SlotKind::Video, 0);
    h.state.VideoOut[0].create("/dev/full");
    try {
        h.demuxAll();
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_STREQ(error.what(), "Stream write error");
    }
    // Only a normal end disables Cancel.
    EXPECT_EQ(h.host.cancelStates, std::vector<bool>{true});
    h.state.VideoOut[0].closeQuietly();
}

TEST(WriteErrors, ALostTimeStampRecordIsAStreamWriteError) {
    EngineHarness h;
    h.setInput(fixture::streamPacket(StreamRef::sub(0), hex("01 02"), 90000));
    h.output(SlotKind::Subpicture, 0);
    h.state.SubPtsOut[0].create("/dev/full");
    h.demuxAll();
    EXPECT_EQ(h.state.SubPtsOut[0].size(), 4);
    try {
        h.state.SubPtsOut[0].close();
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_STREQ(error.what(), "Stream write error");
    }
    EXPECT_EQ(h.written(SlotKind::Subpicture, 0), hex("01 02"));
}

}  // namespace
}  // namespace tarnwell
