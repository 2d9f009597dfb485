#include "engine/program_stream_parser.h"

#include <cstring>
#include <string>

namespace tarnwell {

namespace {

// The codec the scan finds for a code carried at `at`, or nullptr.
const CodecRow* foundCodec(SlotKind kind, CodeAt at, std::int32_t code) {
    const CodecRow* codec = codecFor(CodeUse::Found, kind, code);
    return codec && codec->codeAt == at ? codec : nullptr;
}

AudioClass audioClassOf(Codec codec) {
    switch (codec) {
        case Codec::DDPlus:
            return acDDPlus;
        case Codec::DtsHd:
            return acDTSHD;
        case Codec::Lpcm:
            return acLPCM;
        case Codec::Mlp:
            return acMLP;
        default:
            return acDD;
    }
}

}  // namespace

bool ProgramStreamParser::onStartCode(std::uint8_t b) {
    ParserState& s = state_;
    if (const CodecRow* video = foundCodec(SlotKind::Video, CodeAt::StreamId, b)) {
        s.videoNo = b - video->found.first;
        found(*video, s.videoNo, b);
        s.videoCodec = video->codec == Codec::H264 ? vcH264 : vcMpeg2;
        s.kind = pkVideo;
    } else {
        switch (b) {
            case 0xFD:
                // The stream number comes with the stream_id_extension.
                s.videoCodec = vcVC1;
                s.kind = pkVideo;
                break;
            case 0xBC:
            case 0xBE:
            case 0xBF:
                s.kind = pkSkipPacket;
                break;
            case 0xBD:
                s.kind = pkPrivate1;
                break;
            default:
                if ((b & 0xF0) != 0xC0) return false;
                s.kind = pkMpegAudio;
                break;
        }
    }
    s.packetPts = -1;
    s.payloadStarts = true;
    s.lengthLeft = 2;
    return true;
}

void ProgramStreamParser::onLpcmByte() {
    ParserState& s = state_;
    --s.packetLeft;
    if (--s.lpcmLeft == 0) {
        s.kind = pkAudio;
        s.inPayload = true;
    }
}

void ProgramStreamParser::onMlpByte() {
    ParserState& s = state_;
    --s.packetLeft;
    if (--s.mlpLeft == 0) {
        s.kind = pkAudio;
        s.inPayload = true;
    }
}

void ProgramStreamParser::onLengthByte() {
    ParserState& s = state_;
    s.lengthLeft = 0;
    s.packetLeft = static_cast<std::int32_t>(s.window & 0xFFFF);
    if (s.kind == pkSkipPacket)
        s.skipLeft = s.packetLeft;
    else
        s.fixedLeft = 3;
}

void ProgramStreamParser::onFixedHeaderByte(std::uint8_t b) {
    ParserState& s = state_;
    --s.packetLeft;
    --s.fixedLeft;
    if (s.fixedLeft == 1) {
        s.flags2 = b;
    } else if (s.fixedLeft == 0) {
        s.headerLeft = b;
        if ((s.flags2 & 0xC0) == 0x80) s.ptsLeft = 5;
        if ((s.flags2 & 0xC0) == 0xC0) s.ptsDtsLeft = 10;
        if ((s.flags2 & 0xC1) == 0x01) s.extFlagsLeft = 1;
        if (s.headerLeft == 0) endHeader();
    }
}

void ProgramStreamParser::onPtsByte(std::uint8_t b) {
    ParserState& s = state_;
    --s.packetLeft;
    --s.headerLeft;
    --s.ptsLeft;
    gatherPts(4 - s.ptsLeft, b);
    // The 33-bit PTS is kept modulo 2^32: bit 32 and the marker bits are dropped.
    const std::uint32_t v = b;
    switch (s.ptsLeft) {
        case 4:
            s.ptsAccu = (v & 0x06) << 29;
            break;
        case 3:
            s.ptsAccu |= v << 22;
            break;
        case 2:
            s.ptsAccu |= (v & 0xFE) << 14;
            break;
        case 1:
            s.ptsAccu |= v << 7;
            break;
        case 0:
            s.ptsAccu |= (v & 0xFE) >> 1;
            s.timeStamp = s.ptsAccu;
            afterTimeStampField();
            break;
        default:
            break;
    }
}

void ProgramStreamParser::onPtsDtsByte(std::uint8_t b) {
    ParserState& s = state_;
    --s.packetLeft;
    --s.headerLeft;
    // A PTS+DTS pair leaves the time-stamp register as it is.
    --s.ptsDtsLeft;
    if (s.ptsDtsLeft >= 5) gatherPts(9 - s.ptsDtsLeft, b);
    if (s.ptsDtsLeft == 0) afterTimeStampField();
}

void ProgramStreamParser::gatherPts(int place, std::uint8_t b) {
    ParserState& s = state_;
    const std::int64_t v = b;
    switch (place) {
        case 0:
            s.ptsBits = (v & 0x0E) << 29;
            break;
        case 1:
            s.ptsBits |= v << 22;
            break;
        case 2:
            s.ptsBits |= (v & 0xFE) << 14;
            break;
        case 3:
            s.ptsBits |= v << 7;
            break;
        case 4:
            s.packetPts = s.ptsBits | (v & 0xFE) >> 1;
            break;
        default:
            break;
    }
}

void ProgramStreamParser::afterTimeStampField() {
    ParserState& s = state_;
    if (s.headerLeft == 0)
        endHeader();
    else if (s.kind == pkVideo && (s.flags2 & 0x01))
        s.extFlagsLeft = 1;
}

void ProgramStreamParser::onExtFlagsByte(std::uint8_t b) {
    ParserState& s = state_;
    --s.packetLeft;
    --s.headerLeft;
    --s.extFlagsLeft;
    s.extFlags = b;
    // Only the P-STD buffer field and extension field 2 are provided for, both taken to
    // follow the flags byte directly.
    if (b & 0x10)
        s.pstdLeft = 2;
    else if (b & 0x01)
        s.ext2Left = 2;
    else if (s.headerLeft == 0)
        endHeader();
}

void ProgramStreamParser::onPstdByte() {
    ParserState& s = state_;
    --s.packetLeft;
    --s.headerLeft;
    if (--s.pstdLeft != 0) return;
    if (s.extFlags & 0x01)
        s.ext2Left = 2;
    else if (s.headerLeft == 0)
        endHeader();
}

void ProgramStreamParser::onExt2Byte(std::uint8_t b) {
    ParserState& s = state_;
    --s.packetLeft;
    --s.headerLeft;
    // The first byte (marker and field length) is not examined.
    if (--s.ext2Left != 0) return;
    const int ext = b & 0x7F;
    if (const CodecRow* video = foundCodec(SlotKind::Video, CodeAt::Extension, ext)) {
        s.videoNo = ext - video->found.first;
        found(*video, s.videoNo, ext);
        s.kind = pkVideo;
    } else {
        s.kind = pkDiscard;
    }
    if (s.headerLeft == 0) endHeader();
}

void ProgramStreamParser::onRemainingHeaderByte() {
    ParserState& s = state_;
    --s.packetLeft;
    if (--s.headerLeft == 0) endHeader();
}

void ProgramStreamParser::onSubstreamHeaderByte(std::uint8_t b) {
    ParserState& s = state_;
    --s.packetLeft;
    --s.subHeaderLeft;
    if (s.subHeaderLeft == 3) {
        const CodecRow* sub = foundCodec(SlotKind::Subpicture, CodeAt::Substream, b);
        if (!sub) return;
        // A subpicture's payload starts right after its substream id.
        s.subNo = b - sub->found.first;
        found(*sub, s.subNo, b);
        s.subHeaderLeft = 0;
        s.kind = pkSubpicture;
        s.inPayload = true;
    } else if (s.subHeaderLeft == 0) {
        classifyAudio();
    }
}

void ProgramStreamParser::classifyAudio() {
    ParserState& s = state_;
    const std::int32_t id = static_cast<std::int32_t>(s.window >> 24);
    s.audioNo = id & 0x0F;
    if (const CodecRow* audio = foundCodec(SlotKind::Audio, CodeAt::Substream, id)) {
        s.audioNo = id - audio->found.first;
        s.audioClass = audioClassOf(audio->codec);
        s.lastAudioId = id;
        found(*audio, s.audioNo, id);
    }

    // An unknown id is judged by the class kept from the last known one.
    switch (s.audioClass) {
        case acMLP:
            if (id == (s.audioNo | 0xB0)) {
                s.mlpLeft = 1;
            } else {
                s.kind = pkDiscard;
                s.inPayload = true;
            }
            break;
        case acLPCM:
            if (id == (s.audioNo | 0xA0)) {
                s.lpcmLeft = 3;
            } else {
                s.kind = pkDiscard;
                s.inPayload = true;
            }
            break;
        default:
            s.kind = id == (s.audioNo | s.lastAudioId) ? pkAudio : pkDiscard;
            s.inPayload = true;
            break;
    }
    s.timeStamp = 0;
}

void ProgramStreamParser::endHeader() {
    ParserState& s = state_;
    if (s.kind == pkPrivate1)
        s.subHeaderLeft = 4;
    else
        s.inPayload = true;
}

// ---- Bulk passing -----------------------------------------------------------------------

void ProgramStreamParser::shiftInLast(const std::uint8_t* data, std::int64_t count) {
    if (count >= 4) {
        const std::uint8_t* last = data + count - 4;
        state_.window = (std::uint32_t{last[0]} << 24) | (std::uint32_t{last[1]} << 16) |
                        (std::uint32_t{last[2]} << 8) | last[3];
        return;
    }
    for (std::int64_t i = 0; i < count; ++i) shiftIn(data[i]);
}

std::int64_t ProgramStreamParser::passSkipped(const std::uint8_t* data, std::int64_t length) {
    // Rule 1 comes before the start codes: a skipped body is passed whatever it holds.
    ParserState& s = state_;
    const std::int64_t count = s.skipLeft < length ? s.skipLeft : length;
    shiftInLast(data, count);
    s.packetLeft -= static_cast<std::int32_t>(count);
    s.skipLeft -= static_cast<std::int32_t>(count);
    return count;
}

std::int64_t ProgramStreamParser::passBetweenPackets(const std::uint8_t* data,
                                                     std::int64_t length) {
    // Everything up to and including the next 0x01 only enters the window.
    const void* one = std::memchr(data, 0x01, static_cast<std::size_t>(length));
    const std::int64_t count = one ? static_cast<const std::uint8_t*>(one) - data + 1 : length;
    shiftInLast(data, count);
    return count;
}

// ---- Stream table --------------------------------------------------------------------------

void ProgramStreamParser::found(const CodecRow& codec, std::int32_t number, std::int32_t code) {
    std::int32_t* entry = nullptr;
    switch (codec.kind) {
        case SlotKind::Video:
            if (number >= 0 && number < kVideoEntries && table_.VideoIds[number] == -1)
                entry = &table_.VideoIds[number];
            break;
        case SlotKind::Audio:
            if (number >= 0 && number < kAudioEntries && table_.AudioIds[number] < 0)
                entry = &table_.AudioIds[number];
            break;
        case SlotKind::Subpicture:
            if (number >= 0 && number < kSubEntries && table_.SubIds[number] == -1)
                entry = &table_.SubIds[number];
            break;
    }
    if (!entry) return;
    *entry = code;
    if (logFound_)
        sink_.log(std::string(codec.logName) + " stream " + std::to_string(number) + " found!");
}

}  // namespace tarnwell
