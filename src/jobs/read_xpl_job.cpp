#include "jobs/read_xpl_job.h"

#include <string>

#include "playlist/matroska_title.h"
#include "playlist/playlist_tree.h"
#include "playlist/tag_checks.h"
#include "playlist/tag_scanner.h"
#include "playlist/title_selection.h"

namespace tarnwell {

namespace {

// The job's guarded block: whatever happens, the playlist file is closed and the tag view,
// hidden while it fills, is shown again.
struct ReadGuard {
    InputFile& file;
    PlaylistState& playlist;
    ~ReadGuard() {
        file.close();
        if (!playlist.tagViewVisible) playlist.setTagViewVisible(true);
    }
};

}  // namespace

void bReadXPLClick(JobContext& job, PlaylistState& playlist) {
    job.selection.Resetcbs();
    job.host.setCommandEnabled(Command::ReadXpl, false);
    job.host.showPage(kXplPage);

    InputFile& file = job.state.InFile;
    ReadGuard guard{file, playlist};
    file.open(job.input.xplField());
    job.sink.log("Open " + job.input.XPLname);
    job.sink.log("Filesize: " + std::to_string(file.size()) + " bytes");

    playlist.clearTagLines();
    playlist.titleTimeBase = 0;
    playlist.setTagViewVisible(false);

    TagChecks checks(playlist);
    TagScanner scanner(
        [&](std::string&& line) {
            playlist.addTagLine(std::move(line));
            checks.run(playlist.tagLines.back());
        },
        indentBudgetFor(file.size()));
    scanTagFile(file, std::span(job.state.ReadBuf).first(kReadBufSize), scanner, job.sink);
    file.close();

    // The tracks listed below replace those of the last read; the stream table keeps the codes
    // of the last EVO scan.
    playlist.listed = {};

    if (const auto title = selectTitle(playlist.tagLines, job.input.EVObase)) {
        playlist.titleTimeBase = titleSetTimeBase(playlist.tagLines, title->first);
        playlist.keepTagLines(title->first, title->count);
        TitleTree tree = buildTitleTree(playlist.tagLines, checks.playlistName(),
                                        TrackListing{playlist, job.sink});
        playlist.listed = tree.listed;
        for (const auto& slot : tree.slots)
            job.selection.MarkFromPlaylist(slot.kind, slot.number, slot.text);
        playlist.setTree(std::move(tree.nodes));
    }

    playlist.setTagViewVisible(true);
    job.sink.log("Done.");
    job.sink.slog("Ready", 0);
    job.sink.slog("", 1);
    job.host.setCommandEnabled(Command::ReadXpl, true);
}

}  // namespace tarnwell
