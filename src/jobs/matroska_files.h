#pragma once
// The Demux job's Matroska-ready files: stream names by codec with the audio delays in them,
// LPCM as WAV, and beside the stream files the chapters and the mkvmerge option file, with
// the track names, languages and title taken from the playlist's title when one was read.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/output_routing.h"
#include "engine/scan_result.h"
#include "formats/lpcm_wav.h"
#include "playlist/matroska_title.h"
#include "playlist/playlist_state.h"
#include "selection/stream_selection.h"

namespace tarnwell {

// An LPCM slot's payload into a WAV file: the LPCM header of each packet comes from the
// parser window of its first chunk.
class LpcmWavOutput final : public PayloadOutput {
  public:
    LpcmWavOutput(OutputFile& file, ReportSink& sink, std::string caption)
        : writer_(file, sink, std::move(caption)) {}
    void write(std::span<const std::uint8_t> chunk, const PacketInfo& packet) override {
        const std::uint8_t header[3] = {static_cast<std::uint8_t>(packet.window >> 24),
                                        static_cast<std::uint8_t>(packet.window >> 16),
                                        static_cast<std::uint8_t>(packet.window >> 8)};
        writer_.feed(chunk, packet.starts, header);
    }
    LpcmWavWriter& writer() { return writer_; }

  private:
    LpcmWavWriter writer_;
};

// Whether a stream code is LPCM audio.
bool isLpcmCode(std::int32_t code);

// The delay in ms of audio slot n against video stream 0, from the scan; 0 when either is
// missing from it.
std::int64_t audioDelayMs(const ScanResult& scan, int n);

// The log line of an audio stream's delay: "Audio stream 01 delay: -120 ms.".
std::string delayLine(int n, std::int64_t delayMs);

// A stream file as the Demux job created it.
struct CreatedStream {
    SlotKind kind;
    int number;
    std::string file;
    std::int64_t delayMs = 0;
};

// The streams whose files hold their stream in a form mkvmerge reads, in the given order. Each
// other one is logged ("<caption>: <reason>, left out of the mkvmerge option file.") and, when
// its file is empty, the file is removed.
std::vector<CreatedStream> usableStreams(const std::vector<CreatedStream>& streams,
                                         const StreamSelection& selection, ReportSink& sink);

// The chapters file (when the playlist's title has chapters) and the option file, both
// beside the stream files; returns their names in that order (the chapters one only when
// written). `evoBase` finds the clip in the kept title lines.
std::vector<std::string> writeMatroskaFiles(const std::string& base,
                                            const std::vector<CreatedStream>& streams,
                                            const PlaylistState* playlist,
                                            const std::string& evoBase);
// The same from a title already read (nullptr: no names, languages, chapters or title), the
// option file naming `matroskaFile` as the output.
std::vector<std::string> writeMatroskaFiles(const std::string& base,
                                            const std::vector<CreatedStream>& streams,
                                            const MatroskaTitle* title,
                                            const std::string& matroskaFile);

}  // namespace tarnwell
