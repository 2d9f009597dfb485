#pragma once
// LPCM audio as a WAV file. An LPCM packet carries, after its 4-byte substream header, three
// header bytes of its own (emphasis/mute/frame number; quantisation, sample rate, channels;
// dynamic range) and then big-endian samples in the channels' stored order. 16-bit samples are
// byte-swapped; 20- and 24-bit samples come in groups (of four samples, two for a single
// channel): first the top 16 bits of each sample of the group, then their low parts (a byte
// each at 24 bits, a nibble each at 20 bits, the first sample in the high nibble). The groups
// run on across packets. The WAV file holds little-endian samples, 20-bit ones left-justified
// in 24-bit containers; a file past 4 GiB becomes RF64 when its sizes are written.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/file_io.h"
#include "io/report_sink.h"

namespace tarnwell {

struct LpcmFormat {
    int bitsPerSample = 16;  // 16, 20 or 24
    int sampleRate = 48000;
    int channels = 2;  // 1..8

    bool operator==(const LpcmFormat&) const = default;
};

// The format from the second LPCM header byte; nullopt for the unused quantisation value 3.
std::optional<LpcmFormat> lpcmFormat(std::uint8_t formatByte);

// The speaker mask of a WAVE_FORMAT_EXTENSIBLE header for a channel count (1..8).
std::uint32_t wavChannelMask(int channels);

// The header of a WAV file whose data chunk holds `dataBytes` bytes (a pad byte follows an odd
// count). A RIFF file keeps a 28-byte JUNK chunk where RF64 needs its ds64 chunk; when the RIFF
// size would pass 4 GiB - 1 it becomes RF64: the RIFF and data sizes read 0xFFFFFFFF and the
// ds64 chunk holds them, with the sample frame count, as 64-bit numbers.
std::vector<std::uint8_t> wavHeader(const LpcmFormat& format, std::uint64_t dataBytes);

// Writes one LPCM stream into an output file that the job created and closes. The header
// goes out with the first samples; `finish` writes the sizes into it, and must be called
// before the file is closed, on a normal end and after a Cancel alike.
class LpcmWavWriter {
  public:
    // `caption` names the stream in the log.
    LpcmWavWriter(OutputFile& out, ReportSink& sink, std::string caption);

    // A payload chunk. At the first chunk of each packet, `header` holds that packet's three
    // LPCM header bytes; the first packet's header sets the file's format, and a later
    // packet whose format byte differs is logged once (its samples are read in the first
    // format). Chunks before a packet with a valid header are dropped, logged once.
    void feed(std::span<const std::uint8_t> chunk, bool packetStarts,
              std::span<const std::uint8_t, 3> header);

    // Writes the RIFF and data sizes (RF64 with a ds64 chunk past 4 GiB). Samples of an
    // unfinished last block (the groups that hold a sample of every channel) are dropped. Throws
    // "Stream write error" like the file does.
    void finish();

    const std::optional<LpcmFormat>& format() const { return format_; }
    // Sample bytes written so far (the data chunk's size).
    std::uint64_t dataBytes() const { return dataBytes_; }

  private:
    void start(const LpcmFormat& format, std::uint8_t formatByte);
    void convert(std::span<const std::uint8_t> bytes);

    OutputFile& out_;
    ReportSink& sink_;
    std::string caption_;
    std::optional<LpcmFormat> format_;
    std::uint8_t formatByte_ = 0;
    bool changeLogged_ = false;
    bool missingLogged_ = false;
    bool finished_ = false;
    std::size_t blockIn_ = 0;            // bytes of one group in the stream
    std::vector<std::uint8_t> pending_;  // the start of a group cut by a chunk's end
    std::vector<std::uint8_t> converted_;
    std::uint64_t dataBytes_ = 0;
};

}  // namespace tarnwell
