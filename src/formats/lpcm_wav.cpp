#include "formats/lpcm_wav.h"

#include <algorithm>
#include <limits>

namespace tarnwell {

namespace {

constexpr int kSampleRates[4] = {48000, 96000, 44100, 32000};
// Speaker masks by channel count: mono centre, stereo, 3.0, 4.0, 5.0, 5.1, 6.1, 7.1.
constexpr std::uint32_t kChannelMasks[9] = {0, 0x4, 0x3, 0x7, 0x107, 0x607, 0x60F, 0x70F, 0x63F};

// KSDATAFORMAT_SUBTYPE_PCM.
constexpr std::uint8_t kPcmSubformat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                            0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The ds64 chunk's body: RIFF size, data size, sample count (8 bytes each), table length.
constexpr std::uint32_t kDs64Size = 28;
// "RIFF" size "WAVE", the JUNK/ds64 chunk, the fmt chunk's name and size; data name and size.
constexpr std::size_t kHeaderFixed = 12 + 8 + kDs64Size + 8 + 8;

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void put64(std::vector<std::uint8_t>& out, std::uint64_t v) {
    put32(out, static_cast<std::uint32_t>(v));
    put32(out, static_cast<std::uint32_t>(v >> 32));
}
void putTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

bool extensible(const LpcmFormat& f) {
    return f.channels > 2 || f.bitsPerSample > 16;
}
int containerBytes(const LpcmFormat& f) {
    return f.bitsPerSample == 16 ? 2 : 3;
}
// Samples per group in the stream.
int groupSamples(const LpcmFormat& f) {
    if (f.bitsPerSample == 16) return 1;
    return f.channels == 1 ? 2 : 4;
}
std::size_t groupBytes(const LpcmFormat& f) {
    const int n = groupSamples(f);
    return static_cast<std::size_t>(n * 2 + n * (f.bitsPerSample - 16) / 8);
}
// A block: the groups that complete a set of samples of every channel, as pcm_dvd reads them;
// a stream's unfinished last block is dropped.
int groupsPerBlock(const LpcmFormat& f) {
    if (f.bitsPerSample == 16) return f.channels;
    if (f.channels == 1) return 2;
    if (f.channels == 2 || f.channels == 4) return 1;
    return f.channels == 8 ? 2 : f.channels;
}

}  // namespace

std::optional<LpcmFormat> lpcmFormat(std::uint8_t formatByte) {
    const int quantisation = formatByte >> 6;
    if (quantisation == 3) return std::nullopt;
    return LpcmFormat{16 + 4 * quantisation, kSampleRates[(formatByte >> 4) & 3],
                      (formatByte & 7) + 1};
}

std::uint32_t wavChannelMask(int channels) {
    return channels >= 1 && channels <= 8 ? kChannelMasks[channels] : 0;
}

std::vector<std::uint8_t> wavHeader(const LpcmFormat& f, std::uint64_t dataBytes) {
    const bool ext = extensible(f);
    const std::uint32_t fmtSize = ext ? 40 : 16;
    const std::uint64_t pad = dataBytes & 1;
    const std::uint64_t riffSize = 4 + (8 + kDs64Size) + (8 + fmtSize) + 8 + dataBytes + pad;
    constexpr std::uint32_t kFull = std::numeric_limits<std::uint32_t>::max();
    const bool rf64 = riffSize > kFull;
    const int container = containerBytes(f);
    const auto blockAlign = static_cast<std::uint32_t>(f.channels * container);

    std::vector<std::uint8_t> out;
    out.reserve(kHeaderFixed + fmtSize);
    putTag(out, rf64 ? "RF64" : "RIFF");
    put32(out, rf64 ? kFull : static_cast<std::uint32_t>(riffSize));
    putTag(out, "WAVE");
    // Room for the ds64 chunk that RF64 needs; a plain file keeps it as a JUNK chunk.
    putTag(out, rf64 ? "ds64" : "JUNK");
    put32(out, kDs64Size);
    put64(out, rf64 ? riffSize : 0);
    put64(out, rf64 ? dataBytes : 0);
    put64(out, rf64 ? dataBytes / blockAlign : 0);
    put32(out, 0);
    putTag(out, "fmt ");
    put32(out, fmtSize);
    put16(out, ext ? 0xFFFE : 1);
    put16(out, static_cast<std::uint32_t>(f.channels));
    put32(out, static_cast<std::uint32_t>(f.sampleRate));
    put32(out, static_cast<std::uint32_t>(f.sampleRate) * blockAlign);
    put16(out, blockAlign);
    put16(out, static_cast<std::uint32_t>(container * 8));
    if (ext) {
        put16(out, 22);
        put16(out, static_cast<std::uint32_t>(f.bitsPerSample));
        put32(out, wavChannelMask(f.channels));
        out.insert(out.end(), std::begin(kPcmSubformat), std::end(kPcmSubformat));
    }
    putTag(out, "data");
    put32(out, rf64 ? kFull : static_cast<std::uint32_t>(dataBytes));
    return out;
}

LpcmWavWriter::LpcmWavWriter(OutputFile& out, ReportSink& sink, std::string caption)
    : out_(out), sink_(sink), caption_(std::move(caption)) {}

void LpcmWavWriter::feed(std::span<const std::uint8_t> chunk, bool packetStarts,
                         std::span<const std::uint8_t, 3> header) {
    if (packetStarts) {
        const std::uint8_t formatByte = header[1];
        if (!format_) {
            if (const auto format = lpcmFormat(formatByte)) start(*format, formatByte);
        } else if (formatByte != formatByte_ && !changeLogged_) {
            changeLogged_ = true;
            sink_.log(caption_ + ": the LPCM format changes within the stream; the WAV file " +
                      "keeps the format of its first packet.");
        }
    }
    if (!format_) {
        if (!missingLogged_) {
            missingLogged_ = true;
            sink_.log(caption_ + ": LPCM samples without a valid LPCM header are left out.");
        }
        return;
    }
    convert(chunk);
}

void LpcmWavWriter::start(const LpcmFormat& format, std::uint8_t formatByte) {
    format_ = format;
    formatByte_ = formatByte;
    blockIn_ = groupBytes(format) * static_cast<std::size_t>(groupsPerBlock(format));
    const auto bytes = wavHeader(format, 0);
    out_.write(bytes.data(), bytes.size());
}

void LpcmWavWriter::convert(std::span<const std::uint8_t> bytes) {
    const LpcmFormat& f = *format_;
    converted_.clear();
    // A block is regrouped only once whole; its start may wait in `pending_`.
    const std::size_t group = groupBytes(f);
    auto regroupOne = [&](const std::uint8_t* g) {
        if (f.bitsPerSample == 16) {
            converted_.push_back(g[1]);
            converted_.push_back(g[0]);
            return;
        }
        const int n = groupSamples(f);
        const std::uint8_t* low = g + 2 * n;
        for (int i = 0; i < n; ++i) {
            const std::uint8_t* top = g + 2 * i;
            std::uint8_t lowByte;
            if (f.bitsPerSample == 24)
                lowByte = low[i];
            else
                lowByte = static_cast<std::uint8_t>(
                    (i % 2 == 0 ? low[i / 2] & 0xF0 : low[i / 2] << 4) & 0xF0);
            converted_.push_back(lowByte);
            converted_.push_back(top[1]);
            converted_.push_back(top[0]);
        }
    };
    auto regroup = [&](const std::uint8_t* block) {
        for (std::size_t at = 0; at < blockIn_; at += group) regroupOne(block + at);
    };

    std::size_t at = 0;
    if (!pending_.empty()) {
        const std::size_t take = std::min(blockIn_ - pending_.size(), bytes.size());
        pending_.insert(pending_.end(), bytes.begin(), bytes.begin() + take);
        at = take;
        if (pending_.size() < blockIn_) return;
        regroup(pending_.data());
        pending_.clear();
    }
    for (; at + blockIn_ <= bytes.size(); at += blockIn_) regroup(bytes.data() + at);
    pending_.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end());

    if (converted_.empty()) return;
    out_.write(converted_.data(), converted_.size());
    dataBytes_ += converted_.size();
}

void LpcmWavWriter::finish() {
    if (finished_ || !format_) return;
    finished_ = true;
    if (dataBytes_ & 1) {
        const std::uint8_t pad = 0;
        out_.write(&pad, 1);
    }
    const auto bytes = wavHeader(*format_, dataBytes_);
    out_.writeAt(0, bytes.data(), bytes.size());
}

}  // namespace tarnwell
