#include "engine/scan_loop.h"

#include <string>

#include "engine/block_walk.h"
#include "engine/frame_counter.h"
#include "engine/program_stream_parser.h"
#include "engine/progress.h"
#include "engine/read_ahead.h"
#include "selection/stream_selection.h"

namespace tarnwell {

namespace {

// Read mode stops after the block that takes the position past this (decimal, not MiB).
constexpr std::int64_t kFastCheckLimit = 300000000;
constexpr std::int64_t kRepaintStep = 0x4000000;

class ScanRun {
  public:
    ScanRun(int mode, EngineContext& context)
        : demuxing_(mode == kDemuxMode),
          state_(context.state),
          selection_(context.selection),
          sink_(context.sink),
          host_(context.host),
          parser_(context.state.streamTable, context.sink, !demuxing_) {}

    void run();

  private:
    void reportProgress(std::int64_t pos);
    void logSystemHeaderSummary(const std::uint8_t* block);
    void handOver(const std::uint8_t* chunk, std::int64_t length);
    void countVideoFrames(const std::uint8_t* chunk, std::int64_t length);
    void writeSubpicture(const std::uint8_t* chunk, std::int64_t length);

    const bool demuxing_;
    EngineState& state_;
    const StreamSelection& selection_;
    ReportSink& sink_;
    Host& host_;
    ProgramStreamParser parser_;
    double start_ = 0;
};

void ScanRun::run() {
    host_.setCommandEnabled(Command::Cancel, true);
    state_.CancelRequested = false;
    state_.Demuxing = demuxing_;
    parser_.reset();
    start_ = host_.now();
    state_.streamTable.clear();

    InputFile& in = state_.InFile;
    // Blocks are walked in place in the read-ahead buffer.
    ReadAhead blocks(in, state_.ReadBuf, kReadBufSize);
    while (blocks.position() < in.size() && !state_.CancelRequested) {
        const auto block = blocks.next([] {});
        const auto n = static_cast<std::int64_t>(block.size());
        if (n == 0) break;  // nothing more could be read: the end, as far as this run goes
        const std::int64_t pos = blocks.position();
        if (pos % kProgressStep == 0) {
            reportProgress(pos);
            host_.processEvents();
        }
        // The block in hand is still parsed; the loop ends before the next read.
        if (!demuxing_ && pos > kFastCheckLimit && host_.isOptionChecked(Option::FastCheck))
            state_.CancelRequested = true;
        if (pos % kRepaintStep == 0) host_.repaint();
        if (pos == std::int64_t{kReadBufSize} && block[16] == 0x01 && block[17] == 0xBB)
            logSystemHeaderSummary(block.data());
        walkBlock(parser_, block.data(), n, [this](const std::uint8_t* chunk, std::int64_t length) {
            handOver(chunk, length);
        });
    }

    if (state_.CancelRequested) state_.FrameCount = {0, 0};
    host_.setCommandEnabled(Command::Cancel, false);
}

void ScanRun::reportProgress(std::int64_t pos) {
    const InputFile& in = state_.InFile;
    const double elapsedBefore = host_.now() - start_;
    const double elapsedAfter = host_.now() - start_;
    const double remaining = remainingDays(elapsedBefore, elapsedAfter, in.size(), pos);
    sink_.slog(progressText(demuxing_ ? "Demuxing " : "Reading ", fileNamePart(in.path()), pos,
                            in.size(), formatTimeOfDay(remaining)),
               1);
}

void ScanRun::logSystemHeaderSummary(const std::uint8_t* block) {
    // video_bound and audio_bound of a system header right after a 14-byte pack header.
    const int videos = block[24] & 0x1F;
    const int audios = block[23] >> 2;
    sink_.log("It contains " + std::to_string(videos) + " video stream" + (videos > 1 ? "s" : "") +
              " and " + std::to_string(audios) + " audio stream" + (audios > 1 ? "s." : "."));
}

void ScanRun::handOver(const std::uint8_t* chunk, std::int64_t length) {
    const ParserState& s = parser_.state();
    if (s.kind == pkVideo) countVideoFrames(chunk, length);
    if (!demuxing_) return;

    const auto size = static_cast<std::size_t>(length);
    switch (s.kind) {
        case pkVideo:
            if (s.videoNo >= 0 && s.videoNo < 2 &&
                selection_.IsChecked(SlotKind::Video, s.videoNo)) {
                OutputFile& out = state_.VideoOut[s.videoNo];
                if (out.isOpen()) out.write(chunk, size);
            }
            break;
        case pkAudio:
        case pkMpegAudio:
            if (s.audioNo >= 0 && s.audioNo < 16 &&
                selection_.IsChecked(SlotKind::Audio, s.audioNo)) {
                OutputFile& out = state_.AudioOut[s.audioNo];
                if (out.isOpen()) out.write(chunk, size);
            }
            break;
        case pkSubpicture:
            writeSubpicture(chunk, length);
            break;
        default:
            break;  // consumed, nothing written
    }
}

void ScanRun::countVideoFrames(const std::uint8_t* chunk, std::int64_t length) {
    const ParserState& s = parser_.state();
    if (s.videoNo != 0 && s.videoNo != 1) return;
    if (!host_.isOptionChecked(Option::CountFrames)) return;
    // Demux mode counts only the video streams being written.
    if (demuxing_ && !selection_.IsChecked(SlotKind::Video, s.videoNo)) return;
    countFrames({chunk, static_cast<std::size_t>(length)}, s.videoCodec,
                state_.FrameCount[s.videoNo]);
}

void ScanRun::writeSubpicture(const std::uint8_t* chunk, std::int64_t length) {
    ParserState& s = parser_.state();
    if (s.subNo < 0 || s.subNo >= 16 || !selection_.IsChecked(SlotKind::Subpicture, s.subNo))
        return;
    OutputFile& out = state_.SubOut[s.subNo];
    if (!out.isOpen()) return;
    out.write(chunk, static_cast<std::size_t>(length));
    // The register is used up only by a record actually written.
    OutputFile& ptsOut = state_.SubPtsOut[s.subNo];
    if (s.timeStamp != 0 && ptsOut.isOpen()) {
        const std::uint32_t t = s.timeStamp;
        const std::uint8_t record[4] = {
            static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(t >> 8),
            static_cast<std::uint8_t>(t >> 16), static_cast<std::uint8_t>(t >> 24)};
        ptsOut.write(record, sizeof record);
        s.timeStamp = 0;
    }
}

}  // namespace

void demux(int mode, EngineContext& context) {
    ScanRun(mode, context).run();
}

}  // namespace tarnwell
