// The parser's byte rules, seen through whole runs over small inputs: what lands in the
// stream table and the log, and what payload and time stamps reach the outputs.

#include "engine/program_stream_parser.h"

#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine_harness.h"

namespace tarnwell {
namespace {

using fixture::Bytes;
using fixture::PesOptions;
using fixture::StreamRef;
using testing::concat;
using testing::EngineHarness;
using testing::hex;

Bytes packet(const StreamRef& stream, const Bytes& payload, std::optional<std::uint64_t> pts = {}) {
    return fixture::streamPacket(stream, payload, pts);
}

// A private stream 1 packet whose body is given whole (substream header included).
Bytes private1(const Bytes& body, const PesOptions& options = {}) {
    return fixture::pesPacket(0xBD, body, options);
}

Bytes withPts(std::uint8_t streamId, const Bytes& body, std::uint64_t pts) {
    PesOptions options;
    options.pts = pts;
    return fixture::pesPacket(streamId, body, options);
}

Bytes withPtsDts(std::uint8_t streamId, const Bytes& body, std::uint64_t pts, std::uint64_t dts) {
    PesOptions options;
    options.pts = pts;
    options.dts = dts;
    return fixture::pesPacket(streamId, body, options);
}

// ---- Stream table and "found!" lines ------------------------------------------------------

struct Entry {
    char row;  // 'V', 'A' or 'S'
    int index;
    std::int32_t code;
};

struct TableCase {
    const char* name;
    std::vector<Bytes> packets;
    std::vector<Entry> entries;  // every other entry stays -1
    std::vector<std::string> lines;
};

StreamTable expectedTable(const std::vector<Entry>& entries) {
    StreamTable table;
    for (const auto& e : entries) {
        const auto row = e.row == 'V'   ? std::span<std::int32_t>(table.VideoIds)
                         : e.row == 'A' ? std::span<std::int32_t>(table.AudioIds)
                                        : std::span<std::int32_t>(table.SubIds);
        row[e.index] = e.code;
    }
    return table;
}

std::vector<TableCase> tableCases() {
    const Bytes p{0x11, 0x22};
    return {
        {"MPEG-2 E0 and E1",
         {packet(StreamRef::mpeg2(0), p), packet(StreamRef::mpeg2(1), p)},
         {{'V', 0, 0xE0}, {'V', 1, 0xE1}},
         {"MPEG-2 video stream 0 found!", "MPEG-2 video stream 1 found!"}},
        {"H.264 E3 and E2",
         {packet(StreamRef::h264(1), p), packet(StreamRef::h264(0), p)},
         {{'V', 0, 0xE2}, {'V', 1, 0xE3}},
         {"H.264 video stream 1 found!", "H.264 video stream 0 found!"}},
        {"the first code of a number stays",
         {packet(StreamRef::mpeg2(0), p), packet(StreamRef::h264(0), p),
          packet(StreamRef::mpeg2(0), p)},
         {{'V', 0, 0xE0}},
         {"MPEG-2 video stream 0 found!"}},
        {"VC-1 extensions 0x55, 0x56 and 0x57",
         {packet(StreamRef::vc1(0), p), packet(StreamRef::vc1(1), p), packet(StreamRef::vc1(2), p)},
         {{'V', 0, 0x55}, {'V', 1, 0x56}},
         {"VC-1 video stream 0 found!", "VC-1 video stream 1 found!"}},
        {"DD 0x80 and DTS-HD 0x88 share number 0, DD first",
         {packet(StreamRef::dd(0), p), packet(StreamRef::dtshd(0), p)},
         {{'A', 0, 0x80}},
         {"DD audio stream 0 found!"}},
        {"DD 0x80 and DTS-HD 0x88 share number 0, DTS-HD first",
         {packet(StreamRef::dtshd(0), p), packet(StreamRef::dd(0), p)},
         {{'A', 0, 0x88}},
         {"DTS HD audio stream 0 found!"}},
        {"DD+, LPCM and MLP numbers",
         {packet(StreamRef::ddplus(2), p), packet(StreamRef::lpcm(3), p),
          packet(StreamRef::mlp(4), p), packet(StreamRef::ddplus(15), p),
          packet(StreamRef::dtshd(7), p)},
         {{'A', 2, 0xC2}, {'A', 3, 0xA3}, {'A', 4, 0xB4}, {'A', 15, 0xCF}, {'A', 7, 0x8F}},
         {"DD+ audio stream 2 found!", "LPCM audio stream 3 found!", "MLP audio stream 4 found!",
          "DD+ audio stream 15 found!", "DTS HD audio stream 7 found!"}},
        {"subpicture 0x35 has number 21, 0x90 is nothing",
         {private1(fixture::substreamBody(0x35, p)), private1(fixture::substreamBody(0x90, p))},
         {{'S', 21, 0x35}},
         {"Subpicture stream 21 found!"}},
        {"subpicture and extended subpicture share a number",
         {packet(StreamRef::extSub(1), p), packet(StreamRef::sub(1), p),
          packet(StreamRef::sub(31), p)},
         {{'S', 1, 0x61}, {'S', 31, 0x3F}},
         {"Extended subpicture stream 1 found!", "Subpicture stream 31 found!"}},
        {"MPEG audio and unknown substreams make no entry",
         {packet(StreamRef::mpegAudio(0), p), private1(fixture::substreamBody(0xA8, p)),
          private1(fixture::substreamBody(0xD0, p)), private1(fixture::substreamBody(0x10, p))},
         {},
         {}},
        {"padding, navigation data and a program stream map are passed over",
         {fixture::paddingPacket(40), fixture::privateStream2(hex("00 00 01 E0 00 03 81 00 00")),
          fixture::pesPacket(0xBC, hex("00 00 01 BD"))},
         {},
         {}},
    };
}

TEST(StreamTableFill, ReadModeLogsEachNewEntryOnce) {
    for (const auto& c : tableCases()) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        Bytes input;
        for (const auto& p : c.packets) fixture::append(input, p);
        h.setInput(input);
        h.state.streamTable.VideoIds[5] = 0x42;  // the run starts from an empty table
        h.read();
        EXPECT_EQ(h.state.streamTable, expectedTable(c.entries));
        EXPECT_EQ(h.sink.lines, c.lines);
    }
}

TEST(StreamTableFill, DemuxModeFillsTheSameTableSilently) {
    for (const auto& c : tableCases()) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        Bytes input;
        for (const auto& p : c.packets) fixture::append(input, p);
        h.setInput(input);
        h.demuxAll();
        EXPECT_EQ(h.state.streamTable, expectedTable(c.entries));
        EXPECT_TRUE(h.sink.lines.empty());
    }
}

// ---- Payload, substream headers and time stamps ----------------------------------------

TEST(WorkedExample, SubpicturePacketAndTheAudioPacketThatClearsTheRegister) {
    EngineHarness h;
    const Bytes subWithPts = hex("00 00 01 BD 00 0C 81 80 05 21 00 05 BF 21 20 AA BB CC");
    // Same kind of header, substream header 80 01 00 01, then the payload DD EE.
    const Bytes ddWithPts = hex("00 00 01 BD 00 0E 81 80 05 21 00 05 BF 21 80 01 00 01 DD EE");
    const Bytes subWithoutPts = hex("00 00 01 BD 00 06 81 00 00 20 11 22");
    h.setInput(concat({subWithPts, ddWithPts, subWithoutPts}));
    h.output(SlotKind::Subpicture, 0);
    h.output(SlotKind::Audio, 0);
    h.demuxAll();

    EXPECT_EQ(h.state.streamTable.SubIds[0], 0x20);
    EXPECT_EQ(h.state.streamTable.AudioIds[0], 0x80);
    EXPECT_EQ(h.written(SlotKind::Subpicture, 0), hex("AA BB CC 11 22"));
    EXPECT_EQ(h.writtenPts(0), hex("90 5F 01 00"));
    EXPECT_EQ(h.written(SlotKind::Audio, 0), hex("DD EE"));
}

TEST(TimeStampRegister, PtsIsKeptModulo2To32AndZeroIsNeverWritten) {
    struct Case {
        std::uint64_t pts;
        Bytes record;
    };
    const Case cases[] = {
        {90000, hex("90 5F 01 00")},
        {1, hex("01 00 00 00")},
        {0xFFFFFFFF, hex("FF FF FF FF")},
        {0x100001234, hex("34 12 00 00")},
        {0x1FFFFFFFF, hex("FF FF FF FF")},
        {0x12345678, hex("78 56 34 12")},
        {0, {}},
        {0x100000000, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pts);
        EngineHarness h;
        h.setInput(packet(StreamRef::sub(3), hex("55"), c.pts));
        h.output(SlotKind::Subpicture, 3);
        h.demuxAll();
        EXPECT_EQ(h.writtenPts(3), c.record);
        EXPECT_EQ(h.written(SlotKind::Subpicture, 3), hex("55"));
    }
}

TEST(TimeStampRegister, PtsAndDtsLeaveTheRegisterAsItWas) {
    EngineHarness h;
    // A video PTS fills the register; the subpicture's PTS+DTS header does not replace it.
    h.setInput(concat({withPts(0xE0, hex("77"), 1000),
                       withPtsDts(0xBD, fixture::substreamBody(0x20, hex("AB")), 5000, 4000),
                       withPtsDts(0xBD, fixture::substreamBody(0x20, hex("CD")), 6000, 5000)}));
    h.output(SlotKind::Subpicture, 0);
    h.demuxAll();
    EXPECT_EQ(h.writtenPts(0), hex("E8 03 00 00"));  // 1000, written once, then cleared
    EXPECT_EQ(h.written(SlotKind::Subpicture, 0), hex("AB CD"));
}

TEST(TimeStampRegister, WrittenOnlyForATickedSubpictureWithOpenOutputs) {
    EngineHarness h;
    // Subpicture 1 is not ticked: its packet keeps the register for subpicture 0.
    h.setInput(
        concat({packet(StreamRef::sub(1), hex("01"), 777), packet(StreamRef::sub(0), hex("02"))}));
    h.output(SlotKind::Subpicture, 0);
    h.demuxAll();
    EXPECT_EQ(h.writtenPts(0), hex("09 03 00 00"));
}

TEST(TimeStampRegister, UsedUpOnlyByARecordWritten) {
    struct Case {
        bool subOut, ptsOut;
        Bytes records1;  // of subpicture 1, whose packet follows without a PTS
    };
    const Case cases[] = {
        {true, true, {}},
        {false, true, hex("09 03 00 00")},
        {true, false, hex("09 03 00 00")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.subOut) + std::to_string(c.ptsOut));
        EngineHarness h;
        h.setInput(concat(
            {packet(StreamRef::sub(0), hex("01"), 777), packet(StreamRef::sub(1), hex("02"))}));
        h.output(SlotKind::Subpicture, 1);
        h.tick(SlotKind::Subpicture, 0);
        if (c.subOut) h.state.SubOut[0].create(h.dir.file("s0"));
        if (c.ptsOut) h.state.SubPtsOut[0].create(h.dir.file("s0.pts"));
        h.demuxAll();
        h.closeOutputs();
        EXPECT_EQ(h.writtenPts(1), c.records1);
        if (c.ptsOut) {
            EXPECT_EQ(testing::readFile(h.dir.file("s0.pts")),
                      c.subOut ? hex("09 03 00 00") : Bytes{});
        }
    }
}

struct PayloadCase {
    const char* name;
    Bytes input;
    SlotKind kind;
    int number;
    Bytes expected;
};

std::vector<PayloadCase> payloadCases() {
    const Bytes body = hex("F1 F2 F3 F4 F5 F6 F7 F8 F9");
    auto sub = [&](std::uint8_t id) { return private1(concat({Bytes{id}, body})); };
    const Bytes p = hex("C4 C5");
    return {
        {"DD: 4 substream header bytes", sub(0x81), SlotKind::Audio, 1, hex("F4 F5 F6 F7 F8 F9")},
        {"DTS-HD: 4 bytes", sub(0x89), SlotKind::Audio, 1, hex("F4 F5 F6 F7 F8 F9")},
        {"DD+: 4 bytes", sub(0xC1), SlotKind::Audio, 1, hex("F4 F5 F6 F7 F8 F9")},
        {"LPCM: 7 bytes", sub(0xA1), SlotKind::Audio, 1, hex("F7 F8 F9")},
        {"MLP: 5 bytes", sub(0xB1), SlotKind::Audio, 1, hex("F5 F6 F7 F8 F9")},
        {"subpicture: 1 byte", sub(0x21), SlotKind::Subpicture, 1, body},
        {"extended subpicture: 1 byte", sub(0x6F), SlotKind::Subpicture, 15, body},
        {"LPCM 0xA9 after LPCM is audio 9", concat({sub(0xA1), sub(0xA9)}), SlotKind::Audio, 9,
         hex("F7 F8 F9")},
        {"MLP 0xB9 after MLP is audio 9", concat({sub(0xB1), sub(0xB9)}), SlotKind::Audio, 9,
         hex("F5 F6 F7 F8 F9")},
        {"0xA9 after DD is discarded", concat({sub(0x81), sub(0xA9)}), SlotKind::Audio, 9, {}},
        {"0x90 is discarded", sub(0x90), SlotKind::Audio, 0, {}},
        {"MPEG audio goes to the last audio number",
         concat(
             {sub(0x82), packet(StreamRef::mpegAudio(0), p), packet(StreamRef::mpegAudio(7), p)}),
         SlotKind::Audio, 2, hex("F4 F5 F6 F7 F8 F9 C4 C5 C4 C5")},
        {"MPEG audio before any audio substream goes nowhere",
         packet(StreamRef::mpegAudio(0), p),
         SlotKind::Audio,
         0,
         {}},
        {"DD and DTS-HD both reach audio 0",
         concat({packet(StreamRef::dd(0), hex("01")), packet(StreamRef::dtshd(0), hex("02"))}),
         SlotKind::Audio, 0, hex("01 02")},
        {"VC-1 0x57 is discarded",
         concat({packet(StreamRef::vc1(0), hex("0A")), packet(StreamRef::vc1(2), hex("0B"))}),
         SlotKind::Video, 0, hex("0A")},
        {"a 0xFD packet without extension keeps the video number",
         concat({packet(StreamRef::vc1(1), hex("0A")), withPts(0xFD, hex("0B 0C"), 3003)}),
         SlotKind::Video, 1, hex("0A 0B 0C")},
        {"a 0xFD packet before any video number goes nowhere",
         concat({withPts(0xFD, hex("0B"), 3003), packet(StreamRef::vc1(0), hex("0A"))}),
         SlotKind::Video, 0, hex("0A")},
        {"start codes inside payload are payload",
         packet(StreamRef::mpeg2(0), hex("00 00 01 E1 00 03 81 00 00 00 00 01 BD 00 00 01 BA")),
         SlotKind::Video, 0, hex("00 00 01 E1 00 03 81 00 00 00 00 01 BD 00 00 01 BA")},
        {"a skipped packet hides what looks like a packet",
         concat({fixture::privateStream2(hex("00 00 01 E0 00 04 81 00 00 66")),
                 packet(StreamRef::mpeg2(0), hex("77"))}),
         SlotKind::Video, 0, hex("77")},
        {"bytes before the first start code are passed over",
         concat({hex("81 00 00 AA BB 00 00 01"), packet(StreamRef::mpeg2(0), hex("77"))}),
         SlotKind::Video, 0, hex("77")},
    };
}

TEST(PayloadHandOver, SubstreamHeadersKindsAndNumbers) {
    for (const auto& c : payloadCases()) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        h.setInput(c.input);
        for (int n = 0; n < 16; ++n) {
            if (n < 2) h.output(SlotKind::Video, n);
            h.output(SlotKind::Audio, n);
            h.output(SlotKind::Subpicture, n);
        }
        h.demuxAll();
        EXPECT_EQ(h.written(c.kind, c.number), c.expected);
    }
}

TEST(PayloadHandOver, StartCodesInsidePayloadMakeNoEntry) {
    EngineHarness h;
    h.setInput(packet(StreamRef::mpeg2(0), hex("00 00 01 E1 00 03 81 00 00 00 00 01 BD 00 06 81 "
                                               "00 00 20 AA BB")));
    h.read();
    StreamTable expected;
    expected.VideoIds[0] = 0xE0;
    EXPECT_EQ(h.state.streamTable, expected);
}

TEST(PayloadHandOver, APacketWithoutPayloadReexaminesTheNextByte) {
    // The header ends exactly at the packet's end. The byte after it enters the window a
    // second time, so "00 01 E1" completes the start code 00 00 01 E1.
    const Bytes empty = hex("00 00 01 E0 00 04 81 00 01 FF");
    for (const bool reexamined : {true, false}) {
        SCOPED_TRACE(reexamined);
        EngineHarness h;
        // Without the empty packet before it, the same bytes are not a start code.
        h.setInput(concat(
            {reexamined ? empty : hex("00 00 01 BA 00 01 FF"), hex("00 01 E1 00 04 81 00 00 5A")}));
        h.output(SlotKind::Video, 0);
        h.output(SlotKind::Video, 1);
        h.demuxAll();
        EXPECT_EQ(h.state.streamTable.VideoIds[1], reexamined ? 0xE1 : -1);
        EXPECT_EQ(h.written(SlotKind::Video, 1), reexamined ? hex("5A") : Bytes{});
        EXPECT_EQ(h.written(SlotKind::Video, 0), Bytes{});
    }
}

TEST(PayloadHandOver, APacketShorterThanItsHeaderHasNoPayload) {
    EngineHarness h;
    // PES_packet_length 1 with a 3-byte fixed header: the count is below zero at the header's
    // end; the next packet is read normally.
    h.setInput(concat({hex("00 00 01 E0 00 01 81 00 00"), packet(StreamRef::mpeg2(0), hex("99"))}));
    h.output(SlotKind::Video, 0);
    h.demuxAll();
    EXPECT_EQ(h.written(SlotKind::Video, 0), hex("99"));
}

TEST(PayloadHandOver, PayloadStraddlingABlockBoundaryIsWrittenInOrder) {
    EngineHarness h;
    const Bytes payload = fixture::noisePayload(3000, 7);
    Bytes input;
    // The packet's payload starts 1000 bytes before the end of the first block.
    testing::padTo(input, 32768 - 1000 - 9);
    fixture::append(input, packet(StreamRef::mpeg2(1), payload));
    fixture::append(input, packet(StreamRef::mpeg2(1), hex("EE")));
    h.setInput(input);
    h.output(SlotKind::Video, 1);
    h.demuxAll();
    EXPECT_EQ(h.written(SlotKind::Video, 1), concat({payload, hex("EE")}));
}

TEST(PayloadHandOver, SubpictureStraddlingABlockBoundaryHasOneRecord) {
    EngineHarness h;
    const Bytes payload = fixture::noisePayload(2000, 9);
    Bytes input;
    testing::padTo(input, 32768 - 500);
    fixture::append(input, packet(StreamRef::sub(2), payload, 0x0ABCDEF0));
    h.setInput(input);
    h.output(SlotKind::Subpicture, 2);
    h.demuxAll();
    EXPECT_EQ(h.written(SlotKind::Subpicture, 2), payload);
    EXPECT_EQ(h.writtenPts(2), hex("F0 DE BC 0A"));
}

// ---- Header fields, byte by byte --------------------------------------------------------

class ParserSteps : public ::testing::Test {
  protected:
    void feed(const Bytes& bytes) {
        for (const auto b : bytes) {
            parser.shiftIn(b);
            ASSERT_FALSE(parser.state().inPayload);
            parser.step(b);
        }
    }
    StreamTable table;
    RecordingSink sink;
    ProgramStreamParser parser{table, sink, true};
};

TEST_F(ParserSteps, ResetGivesTheInitialState) {
    feed(hex("00 00 01 E1 00 20 81 80 05 21 00 05 BF"));
    parser.reset();
    const ParserState& s = parser.state();
    EXPECT_EQ(s.kind, pkNone);
    EXPECT_EQ(s.videoNo, -1);
    EXPECT_EQ(s.audioNo, -1);
    EXPECT_EQ(s.subNo, -1);
    EXPECT_EQ(s.videoCodec, vcMpeg2);
    EXPECT_EQ(s.audioClass, acDD);
    EXPECT_EQ(s.window, 0u);
    EXPECT_EQ(s.packetLeft, 0);
    EXPECT_EQ(s.ptsLeft, 0);
    EXPECT_EQ(s.timeStamp, 0u);
}

TEST_F(ParserSteps, HeaderFieldsAreConsumedInOrder) {
    // VC-1 packet: PTS, extension flags with P-STD and extension 2, then 2 stuffing bytes.
    feed(hex("00 00 01 FD 01 00 81 81 0C"));
    EXPECT_EQ(parser.state().headerLeft, 12);
    EXPECT_EQ(parser.state().ptsLeft, 5);
    EXPECT_EQ(parser.state().packetLeft, 0x100 - 3);
    feed(hex("21 00 05 BF 21"));
    EXPECT_EQ(parser.state().timeStamp, 90000u);
    EXPECT_EQ(parser.state().extFlagsLeft, 1);
    feed(hex("1F"));
    EXPECT_EQ(parser.state().pstdLeft, 2);
    feed(hex("60 E8"));
    EXPECT_EQ(parser.state().ext2Left, 2);
    feed(hex("81 D6"));  // the marker bit of the extension is ignored: 0x56
    EXPECT_EQ(parser.state().videoNo, 1);
    EXPECT_EQ(table.VideoIds[1], 0x56);
    EXPECT_EQ(parser.state().headerLeft, 2);
    feed(hex("FF"));
    parser.shiftIn(0xFF);
    parser.step(0xFF);
    EXPECT_TRUE(parser.state().inPayload);
    EXPECT_EQ(parser.state().packetLeft, 0x100 - 15);
    EXPECT_EQ(sink.lines, std::vector<std::string>{"VC-1 video stream 1 found!"});
}

TEST_F(ParserSteps, AShortHeaderLengthWrapsAsAByte) {
    // PES_header_data_length 2 announces less than the 5 PTS bytes: the count wraps below
    // zero, and the rest of the 256 is passed over as header bytes.
    feed(hex("00 00 01 E0 04 00 81 80 02 21 00 05 BF 21"));
    EXPECT_EQ(parser.state().headerLeft, 253);
    EXPECT_EQ(parser.state().timeStamp, 90000u);
    EXPECT_FALSE(parser.state().inPayload);
    feed(Bytes(252, 0x00));
    parser.shiftIn(0);
    parser.step(0);
    EXPECT_TRUE(parser.state().inPayload);
    EXPECT_EQ(parser.state().packetLeft, 0x400 - 3 - 5 - 253);
}

TEST_F(ParserSteps, HeaderEndsBeforeAnnouncedFieldsWhenTheLengthIsZero) {
    feed(hex("00 00 01 E0 00 10 81 80"));
    parser.shiftIn(0);
    parser.step(0);
    EXPECT_TRUE(parser.state().inPayload);
    EXPECT_EQ(parser.state().ptsLeft, 5);  // left for the bytes after this packet
}

TEST_F(ParserSteps, AStartCodeInsideAHeaderRestartsThePacket) {
    feed(hex("00 00 01 BD 00 20 81 81 0A 00 00 01 E1"));
    EXPECT_EQ(parser.state().kind, pkVideo);
    EXPECT_EQ(parser.state().lengthLeft, 2);
    EXPECT_EQ(parser.state().headerLeft, 10 - 3);  // the other counters are not cleared
    EXPECT_EQ(table.VideoIds[1], 0xE1);
}

TEST_F(ParserSteps, AudioClassificationClearsTheRegister) {
    feed(hex("00 00 01 BD 00 20 81 80 05 21 00 05 BF 21"));
    EXPECT_EQ(parser.state().timeStamp, 90000u);
    EXPECT_EQ(parser.state().subHeaderLeft, 4);
    feed(hex("C5 01 00"));
    parser.shiftIn(0x01);
    parser.step(0x01);
    const ParserState& s = parser.state();
    EXPECT_EQ(s.timeStamp, 0u);
    EXPECT_EQ(s.audioNo, 5);
    EXPECT_EQ(s.audioClass, acDDPlus);
    EXPECT_EQ(s.lastAudioId, 0xC5);
    EXPECT_EQ(s.kind, pkAudio);
    EXPECT_TRUE(s.inPayload);
}

}  // namespace
}  // namespace tarnwell
