#include "engine/scan_loop.h"

#include <array>
#include <optional>
#include <string>
#include <utility>

#include "engine/block_walk.h"
#include "engine/frame_counter.h"
#include "formats/pack_layout.h"
#include "engine/program_stream_parser.h"
#include "engine/progress.h"
#include "io/read_ahead.h"
#include "formats/slot_limits.h"

namespace tarnwell {

namespace {

// Read mode stops after the block that takes the position past this (decimal, not MiB).
constexpr std::int64_t kFastCheckLimit = 300000000;
constexpr std::int64_t kRepaintStep = 0x4000000;

// Per-slot counts of a read-mode run, by the numbers the parser gives.
struct SlotCounts {
    std::int64_t firstPts = -1;
    std::int64_t packets = 0;
    std::int64_t bytes = 0;

    void add(const PacketInfo& packet, std::int64_t length) {
        if (packet.starts) {
            ++packets;
            if (firstPts < 0) firstPts = packet.pts;
        }
        bytes += length;
    }
};

class ScanRun {
  public:
    ScanRun(ScanMode mode, EngineContext& context)
        : demuxing_(mode == ScanMode::Demux),
          state_(context.state),
          sink_(context.sink),
          run_(context.run),
          routing_(context.routing),
          writeBehind_(context.writeBehind),
          parser_(context.state.streamTable, context.sink, !demuxing_) {}

    ScanResult run();

  private:
    void logSystemHeaderSummary(const std::uint8_t* block);
    void handOver(const std::uint8_t* chunk, std::int64_t length);
    void countVideoFrames(const std::uint8_t* chunk, std::int64_t length);
    void write(SlotKind kind, int n, const std::uint8_t* chunk, std::int64_t length,
               const PacketInfo& packet);
    ScanResult found(bool cutByFastCheck) const;
    void flush();

    const bool demuxing_;
    EngineState& state_;
    ReportSink& sink_;
    RunControl& run_;
    OutputRouting* routing_;
    WriteBehind* writeBehind_;
    ProgramStreamParser parser_;
    double start_ = 0;
    std::array<SlotCounts, kVideoEntries> videoCounts_{};
    std::array<SlotCounts, kAudioEntries> audioCounts_{};
    std::array<SlotCounts, kSubEntries> subCounts_{};
};

ScanResult ScanRun::run() {
    run_.setCancelEnabled(true);
    state_.CancelRequested = false;
    state_.Demuxing = demuxing_;
    parser_.reset();
    start_ = run_.now();
    state_.streamTable.clear();

    InputFile& in = state_.InFile;
    bool cutByFastCheck = false;
    // Blocks are walked in place in the read-ahead buffer. A demux writes its outputs from the
    // job's second thread, flushed before every progress report and at the end, so that a
    // write error stops the run where the user would see it anyway.
    WriteBehind::Pass pass(demuxing_ ? writeBehind_ : nullptr);
    ReadAhead blocks(in, state_.ReadBuf, kReadBufSize);
    while (blocks.position() < in.size() && !state_.CancelRequested) {
        const auto block = blocks.next([] {});
        const auto n = static_cast<std::int64_t>(block.size());
        if (n == 0) break;  // nothing more could be read: the end, as far as this run goes
        const std::int64_t pos = blocks.position();
        if (pos % kProgressStep == 0) {
            flush();
            sink_.slog(progressReport(demuxing_ ? "Demuxing " : "Reading ", in, pos, start_, run_),
                       1);
            run_.processEvents();
        }
        // The block in hand is still parsed; the loop ends before the next read.
        if (!demuxing_ && pos > kFastCheckLimit && run_.fastCheck()) {
            cutByFastCheck = !state_.CancelRequested;
            state_.CancelRequested = true;
        }
        if (pos % kRepaintStep == 0) run_.repaint();
        if (pos == std::int64_t{kReadBufSize} && pack::hasSystemHeader(block.data()))
            logSystemHeaderSummary(block.data());
        walkBlock(parser_, block.data(), n, [this](const std::uint8_t* chunk, std::int64_t length) {
            handOver(chunk, length);
        });
    }
    flush();

    if (state_.CancelRequested) state_.FrameCount = {0, 0};
    run_.setCancelEnabled(false);
    return demuxing_ ? ScanResult{} : found(cutByFastCheck);
}

// The outputs first, then the writes they made.
void ScanRun::flush() {
    if (!demuxing_) return;
    if (routing_) routing_->flush();
    if (writeBehind_) writeBehind_->flush();
}

void ScanRun::logSystemHeaderSummary(const std::uint8_t* block) {
    const int videos = pack::videoBound(block[pack::kVideoBoundOffset]);
    const int audios = pack::audioBound(block[pack::kAudioBoundOffset]);
    sink_.log("It contains " + std::to_string(videos) + " video stream" + (videos > 1 ? "s" : "") +
              " and " + std::to_string(audios) + " audio stream" + (audios > 1 ? "s." : "."));
}

// The slot a payload chunk belongs to: its kind and the parser's number for it, within the
// stream table's row (video only 0 and 1, the streams that are written and counted).
std::optional<std::pair<SlotKind, int>> slotOf(const ParserState& s) {
    const auto within = [](std::int32_t n, std::size_t size) {
        return n >= 0 && static_cast<std::size_t>(n) < size;
    };
    switch (s.kind) {
        case pkVideo:
            if (within(s.videoNo, kVideoOutputs)) return std::pair{SlotKind::Video, s.videoNo};
            break;
        case pkAudio:
        case pkMpegAudio:
            if (within(s.audioNo, kAudioEntries)) return std::pair{SlotKind::Audio, s.audioNo};
            break;
        case pkSubpicture:
            if (within(s.subNo, kSubEntries)) return std::pair{SlotKind::Subpicture, s.subNo};
            break;
        default:
            break;  // consumed, nothing written
    }
    return std::nullopt;
}

void ScanRun::handOver(const std::uint8_t* chunk, std::int64_t length) {
    ParserState& s = parser_.state();
    const PacketInfo packet{s.payloadStarts, s.packetPts, s.window};
    s.payloadStarts = false;
    if (s.kind == pkVideo) countVideoFrames(chunk, length);
    const auto slot = slotOf(s);
    if (!slot) return;
    const auto [kind, n] = *slot;
    // A read counts the chunk for the slot that a demux would write it to; the routing knows
    // which slots have outputs at all.
    if (!demuxing_) {
        SlotCounts& counts = kind == SlotKind::Video   ? videoCounts_[n]
                             : kind == SlotKind::Audio ? audioCounts_[n]
                                                       : subCounts_[n];
        counts.add(packet, length);
        return;
    }
    write(kind, n, chunk, length, packet);
}

void ScanRun::countVideoFrames(const std::uint8_t* chunk, std::int64_t length) {
    const ParserState& s = parser_.state();
    if (s.videoNo != 0 && s.videoNo != 1) return;
    if (!run_.countFrames()) return;
    // Demux mode counts only the video streams being written.
    if (demuxing_ && !(routing_ && routing_->videoSelected(s.videoNo))) return;
    countFrames({chunk, static_cast<std::size_t>(length)}, s.videoCodec,
                state_.FrameCount[s.videoNo]);
}

void ScanRun::write(SlotKind kind, int n, const std::uint8_t* chunk, std::int64_t length,
                    const PacketInfo& packet) {
    PayloadOutput* out = routing_ ? routing_->payload(kind, n) : nullptr;
    if (!out) return;
    out->write({chunk, static_cast<std::size_t>(length)}, packet);
    if (kind != SlotKind::Subpicture) return;
    // The register is used up only by a record actually written.
    ParserState& s = parser_.state();
    OutputFile* ptsOut = s.timeStamp != 0 ? routing_->timeStamps(n) : nullptr;
    if (!ptsOut) return;
    const std::uint32_t t = s.timeStamp;
    const std::uint8_t record[4] = {static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(t >> 8),
                                    static_cast<std::uint8_t>(t >> 16),
                                    static_cast<std::uint8_t>(t >> 24)};
    ptsOut->write(record, sizeof record);
    s.timeStamp = 0;
}

ScanResult ScanRun::found(bool cutByFastCheck) const {
    ScanResult result;
    result.cutByFastCheck = cutByFastCheck;
    result.fileSize = state_.InFile.size();
    const auto add = [&](SlotKind kind, const auto& codes, const auto& counts) {
        for (std::size_t n = 0; n < codes.size(); ++n) {
            if (codes[n] == -1) continue;
            const SlotCounts& c = counts[n];
            result.streams.push_back(
                {kind, static_cast<int>(n), codes[n], c.firstPts, c.packets, c.bytes});
        }
    };
    const StreamTable& table = state_.streamTable;
    add(SlotKind::Video, table.VideoIds, videoCounts_);
    add(SlotKind::Audio, table.AudioIds, audioCounts_);
    add(SlotKind::Subpicture, table.SubIds, subCounts_);
    return result;
}

}  // namespace

ScanResult runScan(ScanMode mode, EngineContext& context) {
    return ScanRun(mode, context).run();
}

}  // namespace tarnwell
