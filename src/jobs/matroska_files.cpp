#include "jobs/matroska_files.h"

#include <unistd.h>

#include <cstdio>

#include "formats/codec_table.h"
#include "formats/mkvmerge_options.h"
#include "formats/stream_probe.h"
#include "jobs/output_naming.h"
#include "playlist/matroska_title.h"

namespace tarnwell {

bool isLpcmCode(std::int32_t code) {
    const CodecRow* codec = codecFor(CodeUse::Found, SlotKind::Audio, code);
    return codec && codec->codec == Codec::Lpcm;
}

std::int64_t audioDelayMs(const ScanResult& scan, int n) {
    const FoundStream* video = scan.find(SlotKind::Video, 0);
    const FoundStream* audio = scan.find(SlotKind::Audio, n);
    if (!video || !audio) return 0;
    return streamDelayMs(audio->firstPts, video->firstPts);
}

std::string delayLine(int n, std::int64_t delayMs) {
    return "Audio stream " + slotDigits(SlotKind::Audio, n) + " delay: " + std::to_string(delayMs) +
           " ms.";
}

std::vector<CreatedStream> usableStreams(const std::vector<CreatedStream>& streams,
                                         const StreamSelection& selection, ReportSink& sink) {
    std::vector<CreatedStream> usable;
    std::vector<std::uint8_t> head(kStreamProbeBytes);
    for (const auto& stream : streams) {
        InputFile in;
        in.open(stream.file);
        const std::int64_t size = in.size();
        std::size_t got = 0;
        while (got < head.size()) {
            const auto n = in.read(head.data() + got, static_cast<std::int64_t>(head.size() - got));
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        in.close();
        const auto dot = stream.file.rfind('.');
        const auto extension = dot == std::string::npos
                                   ? std::string_view{}
                                   : std::string_view(stream.file).substr(dot + 1);
        const auto reason = unusableStreamReason(extension, std::span(head).first(got),
                                                 static_cast<std::uint64_t>(size));
        if (reason.empty()) {
            usable.push_back(stream);
            continue;
        }
        const bool remove = size == 0 && ::unlink(stream.file.c_str()) == 0;
        sink.log(selection.Caption(stream.kind, stream.number) + ": " + std::string(reason) +
                 (remove ? ", removed and left out" : ", left out") +
                 " of the mkvmerge option file.");
    }
    return usable;
}

std::vector<std::string> writeMatroskaFiles(const std::string& base,
                                            const std::vector<CreatedStream>& streams,
                                            const PlaylistState* playlist,
                                            const std::string& evoBase) {
    if (!playlist || playlist->titleTimeBase <= 0)
        return writeMatroskaFiles(base, streams, static_cast<const MatroskaTitle*>(nullptr),
                                  matroskaFileName(base));
    const auto title = readMatroskaTitle(playlist->tagLines, evoBase, playlist->titleTimeBase);
    return writeMatroskaFiles(base, streams, &title, matroskaFileName(base));
}

std::vector<std::string> writeMatroskaFiles(const std::string& base,
                                            const std::vector<CreatedStream>& streams,
                                            const MatroskaTitle* title,
                                            const std::string& matroskaFile) {
    MkvmergeJob job;
    job.output = matroskaFile;
    if (title) job.title = title->name;
    std::vector<std::string> written;
    if (title && !title->chapters.empty()) {
        job.chapters = chaptersFileName(base);
        writeTextFile(job.chapters, matroskaChaptersXml(title->chapters));
        written.push_back(job.chapters);
    }
    for (const auto& stream : streams) {
        MkvmergeTrack track{stream.file, "", "", stream.delayMs};
        const auto at = static_cast<std::size_t>(stream.number);
        const TitleTrack* named = nullptr;
        if (title && stream.kind == SlotKind::Audio && at < title->audio.size())
            named = &title->audio[at];
        if (title && stream.kind == SlotKind::Subpicture && at < title->subtitles.size())
            named = &title->subtitles[at];
        if (named) {
            track.name = named->name;
            if (named->language != "und") track.language = named->language;
        }
        job.tracks.push_back(std::move(track));
    }
    const auto options = mkvmergeOptionFileName(base);
    writeMkvmergeOptionFile(options, job);
    written.push_back(options);
    return written;
}

}  // namespace tarnwell
