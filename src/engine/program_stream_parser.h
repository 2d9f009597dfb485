#pragma once
// The program stream parser: a byte-wise scanner with a PES packet state machine. Outside a
// packet every byte goes through a 32-bit window that is compared with the known start
// codes; a recognised packet's length, header and private stream 1 substream header are then
// consumed byte by byte, and its payload is left to the block loop, which hands it over in
// whole chunks. The parser fills the stream table and, in read mode, logs each stream found.

#include <cstdint>

#include "formats/codec_table.h"
#include "io/report_sink.h"
#include "engine/stream_table.h"

namespace tarnwell {

// What the current packet's payload is.
enum PayloadKind : std::uint8_t {
    pkVideo = 0,
    pkAudio = 1,       // private stream 1 audio
    pkDiscard = 2,     // consumed and dropped
    pkSkipPacket = 3,  // the whole packet body is passed over
    pkMpegAudio = 4,
    pkPrivate1 = 5,  // private stream 1 before its substream header is classified
    pkSubpicture = 6,
    pkNone = 8,  // no packet seen yet
};

// Codec class of the current video packet, for frame counting.
enum VideoCodec : std::uint8_t { vcMpeg2 = 0, vcH264 = 1, vcVC1 = 2 };

// Class of the most recently classified private stream 1 audio substream.
enum AudioClass : std::uint8_t { acDD = 0, acDDPlus = 1, acDTSHD = 2, acLPCM = 3, acMLP = 4 };

struct ParserState {
    std::uint32_t window = 0;  // the last four bytes shifted in, oldest in the top byte
    PayloadKind kind = pkNone;
    bool inPayload = false;
    std::int32_t packetLeft = 0;  // bytes of the current packet not yet consumed
    std::uint8_t lengthLeft = 0;  // bytes of the length field still to come (2, 1, 0)
    std::int32_t skipLeft = 0;    // bytes of a skipped packet still to pass
    std::uint8_t fixedLeft = 0;   // of the three fixed PES header bytes
    std::uint8_t flags2 = 0;      // PTS_DTS_flags in bits 7..6, PES_extension_flag in bit 0
    std::uint8_t headerLeft = 0;  // from PES_header_data_length; wraps as a byte
    std::int32_t ptsLeft = 0;
    std::int32_t ptsDtsLeft = 0;
    std::int32_t extFlagsLeft = 0;
    std::uint8_t extFlags = 0;
    std::int32_t pstdLeft = 0;
    std::int32_t ext2Left = 0;
    std::uint8_t subHeaderLeft = 0;
    std::uint8_t lpcmLeft = 0;
    std::int32_t mlpLeft = 0;
    std::uint32_t ptsAccu = 0;
    // Low 32 bits of the last completed PTS; 0 means that no time stamp is held.
    std::uint32_t timeStamp = 0;
    std::int32_t videoNo = -1;
    std::int32_t audioNo = -1;
    std::int32_t subNo = -1;
    VideoCodec videoCodec = vcMpeg2;
    AudioClass audioClass = acDD;
    std::int32_t lastAudioId = 0;
    // The current packet, beside the rules above: its full 33-bit PTS (from a PTS or a
    // PTS+DTS field; -1 while its header has shown none), the PTS bits gathered so far, and
    // whether none of its payload has been handed over yet. Set from its start code on.
    std::int64_t packetPts = -1;
    std::int64_t ptsBits = 0;
    bool payloadStarts = false;

    bool operator==(const ParserState&) const = default;
};

class ProgramStreamParser {
  public:
    // `logFound` is true in read mode: each new table entry is announced through `sink`.
    ProgramStreamParser(StreamTable& table, ReportSink& sink, bool logFound)
        : table_(table), sink_(sink), logFound_(logFound) {}

    void reset() { state_ = ParserState{}; }
    void shiftIn(std::uint8_t b) { state_.window = (state_.window << 8) | b; }
    // The header state machine for one visited byte outside payload, after `shiftIn(b)`:
    // the first rule that applies is carried out, and nothing else.
    void step(std::uint8_t b) {
        ParserState& s = state_;
        if (s.skipLeft > 0) {
            --s.packetLeft;
            --s.skipLeft;
        } else if ((s.window & 0xFFFFFF00u) == 0x00000100u && onStartCode(b)) {
        } else if (s.lengthLeft == 2) {
            s.lengthLeft = 1;
        } else if (s.lengthLeft == 1) {
            onLengthByte();
        } else if (s.fixedLeft > 0) {
            onFixedHeaderByte(b);
        } else if (s.ptsLeft > 0) {
            onPtsByte(b);
        } else if (s.ptsDtsLeft > 0) {
            onPtsDtsByte(b);
        } else if (s.extFlagsLeft > 0) {
            onExtFlagsByte(b);
        } else if (s.pstdLeft > 0) {
            onPstdByte();
        } else if (s.ext2Left > 0) {
            onExt2Byte(b);
        } else if (s.headerLeft > 0) {
            onRemainingHeaderByte();
        } else if (s.subHeaderLeft > 0) {
            onSubstreamHeaderByte(b);
        } else if (s.lpcmLeft > 0) {
            onLpcmByte();
        } else if (s.mlpLeft > 0) {
            onMlpByte();
        }
        // Otherwise the byte lies between packets and is passed over.
    }

    // Passes over, in one go, the leading bytes of `data` that `shiftIn` + `step` would only
    // shift into the window (the body of a skipped packet, or bytes between packets that
    // cannot complete a start code), leaving the state exactly as byte-wise stepping would.
    // Returns how many bytes were consumed; 0 when the next byte needs a full step.
    std::int64_t passOver(const std::uint8_t* data, std::int64_t length) {
        if (length <= 0 || state_.inPayload) return 0;
        if (state_.skipLeft > 0) return passSkipped(data, length);
        // A start code completes only on the byte after a 0x01.
        if (!isBetweenPackets() || (state_.window & 0xFF) == 0x01) return 0;
        return passBetweenPackets(data, length);
    }

    ParserState& state() { return state_; }
    const ParserState& state() const { return state_; }

  private:
    // A start code's action, after the window showed 00 00 01; false for an unknown code.
    bool onStartCode(std::uint8_t b);
    void onLengthByte();
    void onFixedHeaderByte(std::uint8_t b);
    void onPtsByte(std::uint8_t b);
    void onPtsDtsByte(std::uint8_t b);
    // Byte `place` (0..4) of the packet's PTS field.
    void gatherPts(int place, std::uint8_t b);
    void afterTimeStampField();
    void onExtFlagsByte(std::uint8_t b);
    void onPstdByte();
    void onExt2Byte(std::uint8_t b);
    void onRemainingHeaderByte();
    void onSubstreamHeaderByte(std::uint8_t b);
    void onLpcmByte();
    void onMlpByte();
    void classifyAudio();
    void endHeader();
    // Every counter at zero: no rule but the start codes can act on the next byte. (A counter
    // below zero would also let no rule act; this test merely misses that case, safely.)
    bool isBetweenPackets() const {
        const ParserState& s = state_;
        return (s.skipLeft | s.ptsLeft | s.ptsDtsLeft | s.extFlagsLeft | s.pstdLeft | s.ext2Left |
                s.mlpLeft) == 0 &&
               (s.lengthLeft | s.fixedLeft | s.headerLeft | s.subHeaderLeft | s.lpcmLeft) == 0;
    }
    std::int64_t passSkipped(const std::uint8_t* data, std::int64_t length);
    std::int64_t passBetweenPackets(const std::uint8_t* data, std::int64_t length);
    void shiftInLast(const std::uint8_t* data, std::int64_t count);

    // Enters the code of stream `number` in the table, unless the entry is taken; in read
    // mode a new entry is logged.
    void found(const CodecRow& codec, std::int32_t number, std::int32_t code);

    ParserState state_;
    StreamTable& table_;
    ReportSink& sink_;
    bool logFound_;
};

}  // namespace tarnwell
