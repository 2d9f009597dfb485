#pragma once
// What one command line asks for: the subcommand, its files, the window options it sets, and
// the stream slots to untick after the reads. Parsing never touches a file.

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "jobs/host.h"
#include "selection/stream_selection.h"

namespace tarnwell::cli {

enum class Subcommand { Read, Demux, Rebuild, Xpl, Titles, Mkv };

using SlotRef = std::pair<SlotKind, int>;

struct CliRequest {
    Subcommand subcommand = Subcommand::Read;
    std::string input;  // the EVO file; the playlist for `xpl`; the disc for `titles` and `mkv`
    std::optional<std::string> xpl;   // demux, rebuild: --xpl
    std::optional<std::string> evo;   // xpl: --evo
    std::optional<std::string> tags;  // xpl: --tags
    std::optional<std::string> tree;  // xpl: --tree
    bool json = false;  // read, titles, mkv: --json, the document instead of the log
    std::optional<std::string> playlist;  // titles, mkv: --playlist, instead of the disc's own
    std::vector<int> titles;              // mkv: --title, in the order given
    bool allTitles = false;               // mkv: --all
    bool keepFiles = false;               // mkv: --keep-files

    // The Options tab, with the window's design defaults.
    std::string outputDir{defaultText(TextOption::Workdir)};
    std::string videoExt{defaultText(TextOption::VideoExt)};
    std::string audioExt{defaultText(TextOption::AudioExt)};
    std::string subExt{defaultText(TextOption::SubExt)};
    bool continueWithNext = defaultChecked(Option::Continue);
    bool fastCheck = defaultChecked(Option::FastCheck);
    bool countFrames = defaultChecked(Option::CountFrames);
    SubpictureForm subpictures = kDefaultSubpictureForm;         // demux: --sup
    bool matroskaReady = defaultChecked(Option::MatroskaReady);  // read, demux: --matroska
    bool makeMkv = defaultChecked(Option::MakeMkv);  // demux: --mkv (implies --matroska)

    std::optional<std::vector<SlotRef>> only;  // --only, all lists joined
    std::vector<SlotRef> drop;                 // --drop, all lists joined
};

// A command line that cannot be carried out as written; its text says why.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct ParsedCommandLine {
    bool help = false;     // --help: print the usage text and stop
    bool version = false;  // --version: print the program's name and version and stop
    CliRequest request;
};

// `arguments` without the program name. Throws UsageError.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

// "video0", "video1", "audio00".."audio15", "sub00".."sub15", comma-separated. Throws UsageError.
std::vector<SlotRef> parseSlotList(const std::string& list);

// The usage text, with the options and the exit codes.
const char* usageText();

// What a usage error prints on standard error: one line naming the problem, then the pointer
// to --help.
std::string usageErrorText(const UsageError& error);

// What --version prints: "Tarnwell 0.542" and a newline.
std::string versionText();

}  // namespace tarnwell::cli
