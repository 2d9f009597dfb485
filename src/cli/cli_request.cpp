#include "cli/cli_request.h"

#include <cstddef>

#include "engine/version.h"

namespace tarnwell::cli {

namespace {

const char* kUsage =
    R"(Usage:
  tarnwell-cli read    [OPTIONS] EVO
  tarnwell-cli demux   [OPTIONS] [--xpl XPL] EVO
  tarnwell-cli rebuild [OPTIONS] [--xpl XPL] EVO
  tarnwell-cli xpl     [OPTIONS] [--evo EVO] [--tags FILE] [--tree FILE] XPL
  tarnwell-cli titles  [--json] [--playlist XPL] DISC
  tarnwell-cli --help | --version

Runs the jobs of the window's buttons on the command line:
  read     Read EVO
  demux    Read EVO, Read XPL (with --xpl), untick (--only, --drop), Demux
  rebuild  Read EVO, Read XPL (with --xpl), untick (--only, --drop), Rebuild
  xpl      Read XPL; with --evo the EVO file is chosen first, which selects the title
  titles   lists every title of the disc's playlist, one line each: number, name, duration,
           its EVO files (missing ones marked), chapters, audio and subtitle tracks. DISC is
           the folder holding HVDVD_TS and ADV_OBJ, either of them, or the playlist file
Every message-log line goes to standard output, one per line. The error text of a failed
job goes to standard error, and so does a live progress line when it is a terminal.

OPTIONS (defaults are the window's design defaults; no stored settings are read):
  -o, --output-dir DIR  the "Output folder" (default empty: the current folder)
  --video-ext E         extension of video files, at most 5 characters (default mpv)
  --audio-ext E         extension of audio files, at most 5 characters (default mpa)
  --sub-ext E           extension of subpicture files, at most 5 characters (default sup)
  --no-continue         don't go on from a "_1.EVO" file into the "_2.EVO" file beside it
  --no-fast-check       Read EVO scans the whole file, not only the first ~300 MB
  --no-count-frames     don't count video frames
  --sup FORM            demux: subpictures as raw (default: the payload and a .pts file),
                        hd (HD-DVD SUP) or pgs (Blu-ray SUP, times from video stream 0)
  --matroska            read, demux: "Matroska-ready files": codec extensions, audio delays
                        in the names, LPCM as WAV, chapters and an mkvmerge option file
  --mkv                 demux: as --matroska, then run mkvmerge (from PATH) on the option file
  --only SLOTS          after the reads, untick every stream slot not listed
  --drop SLOTS          after the reads, untick the listed slots
  --xpl XPL             demux, rebuild: read this playlist before the job
  --evo EVO             xpl: choose this EVO file before reading the playlist
  --tags FILE           xpl: write the playlist's tag lines to FILE, one per line
  --tree FILE           xpl: write the title tree to FILE, two blanks per level
  --json                read, titles: print one JSON document on standard output instead
                        of the log or the lines
  --playlist XPL        titles: read this playlist, not the lowest ADV_OBJ/VPLST*.XPL
  -h, --help            show this text
  --version             show the program's version
SLOTS: comma list of video0 video1 audio00..audio15 sub00..sub15

An interrupt (Ctrl-C) cancels the running job as the Cancel button does: the files are
closed and keep what was written, and no further job starts. A second interrupt ends the
program at once.

Exit status:
  0  every job ended normally (a cancelled job ends normally)
  1  a job ended on an error
  2  usage error
  130  read --json was interrupted: no document was written
)";

std::optional<Subcommand> subcommandNamed(const std::string& name) {
    if (name == "read") return Subcommand::Read;
    if (name == "demux") return Subcommand::Demux;
    if (name == "rebuild") return Subcommand::Rebuild;
    if (name == "xpl") return Subcommand::Xpl;
    if (name == "titles") return Subcommand::Titles;
    return std::nullopt;
}

// The slots a user can untick: the two video streams the jobs write, every audio and
// subpicture check box.
std::optional<SlotRef> slotNamed(const std::string& name) {
    static constexpr std::pair<SlotKind, int> kGroups[] = {{SlotKind::Video, kVideoOutputs},
                                                           {SlotKind::Audio, kAudioSlots},
                                                           {SlotKind::Subpicture, kSubSlots}};
    for (const auto& [kind, count] : kGroups)
        for (int n = 0; n < count; ++n)
            if (slotName(kind, n) == name) return SlotRef{kind, n};
    return std::nullopt;
}

SubpictureForm subpictureFormNamed(const std::string& name) {
    if (name == "raw") return SubpictureForm::Raw;
    if (name == "hd") return SubpictureForm::HdSup;
    if (name == "pgs") return SubpictureForm::Pgs;
    throw UsageError("unknown subpicture form \"" + name + "\" (raw, hd or pgs)");
}

std::string checkedExtension(const std::string& option, const std::string& value) {
    if (value.size() > kMaxExtensionLength)
        throw UsageError(option + " takes at most " + std::to_string(kMaxExtensionLength) +
                         " characters: \"" + value + "\"");
    return value;
}

}  // namespace

const char* usageText() {
    return kUsage;
}

std::string usageErrorText(const UsageError& error) {
    return std::string("tarnwell-cli: ") + error.what() + "\nTry 'tarnwell-cli --help'.\n";
}

std::string versionText() {
    return std::string("Tarnwell ") + kVersion + "\n";
}

std::vector<SlotRef> parseSlotList(const std::string& list) {
    std::vector<SlotRef> slots;
    std::size_t start = 0;
    for (;;) {
        const auto comma = list.find(',', start);
        const auto name = list.substr(start, comma == std::string::npos ? comma : comma - start);
        const auto slot = slotNamed(name);
        if (!slot) throw UsageError("unknown stream slot \"" + name + "\"");
        slots.push_back(*slot);
        if (comma == std::string::npos) return slots;
        start = comma + 1;
    }
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    for (const auto& argument : arguments) {
        if (argument == "--") break;
        if (argument == "-h" || argument == "--help") {
            parsed.help = true;
            return parsed;
        }
        if (argument == "--version") {
            parsed.version = true;
            return parsed;
        }
    }
    if (arguments.empty()) throw UsageError("no command given");
    const auto subcommand = subcommandNamed(arguments.front());
    if (!subcommand) throw UsageError("unknown command \"" + arguments.front() + "\"");

    auto& request = parsed.request;
    request.subcommand = *subcommand;
    const bool takesPlaylist =
        request.subcommand == Subcommand::Demux || request.subcommand == Subcommand::Rebuild;
    const bool isXpl = request.subcommand == Subcommand::Xpl;
    const bool isRead = request.subcommand == Subcommand::Read;
    const bool isTitles = request.subcommand == Subcommand::Titles;
    std::vector<std::string> positional;
    bool optionsEnded = false;

    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" is the same as "--name value".
        std::optional<std::string> attached;
        if (const auto equals = argument.find('=');
            argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            attached = argument.substr(equals + 1);
            argument.resize(equals);
        }
        const auto value = [&]() -> std::string {
            if (attached) return *attached;
            if (i + 1 >= arguments.size()) throw UsageError(argument + " needs a value");
            return arguments[++i];
        };
        const auto flag = [&] {
            if (attached) throw UsageError(argument + " takes no value");
        };
        const auto only = [&](bool allowed) {
            if (!allowed)
                throw UsageError(argument + " does not apply to the " + arguments.front() +
                                 " command");
        };

        if (argument == "-o" || argument == "--output-dir") {
            request.outputDir = value();
        } else if (argument == "--video-ext") {
            request.videoExt = checkedExtension(argument, value());
        } else if (argument == "--audio-ext") {
            request.audioExt = checkedExtension(argument, value());
        } else if (argument == "--sub-ext") {
            request.subExt = checkedExtension(argument, value());
        } else if (argument == "--no-continue") {
            flag();
            request.continueWithNext = false;
        } else if (argument == "--no-fast-check") {
            flag();
            request.fastCheck = false;
        } else if (argument == "--no-count-frames") {
            flag();
            request.countFrames = false;
        } else if (argument == "--sup") {
            only(request.subcommand == Subcommand::Demux);
            request.subpictures = subpictureFormNamed(value());
        } else if (argument == "--matroska") {
            flag();
            only(request.subcommand == Subcommand::Read || request.subcommand == Subcommand::Demux);
            request.matroskaReady = true;
        } else if (argument == "--mkv") {
            flag();
            only(request.subcommand == Subcommand::Demux);
            request.matroskaReady = request.makeMkv = true;
        } else if (argument == "--only") {
            const auto slots = parseSlotList(value());
            if (!request.only) request.only.emplace();
            request.only->insert(request.only->end(), slots.begin(), slots.end());
        } else if (argument == "--drop") {
            const auto slots = parseSlotList(value());
            request.drop.insert(request.drop.end(), slots.begin(), slots.end());
        } else if (argument == "--xpl") {
            only(takesPlaylist);
            request.xpl = value();
        } else if (argument == "--evo") {
            only(isXpl);
            request.evo = value();
        } else if (argument == "--tags") {
            only(isXpl);
            request.tags = value();
        } else if (argument == "--tree") {
            only(isXpl);
            request.tree = value();
        } else if (argument == "--json") {
            flag();
            only(isRead || isTitles);
            request.json = true;
        } else if (argument == "--playlist") {
            only(isTitles);
            request.playlist = value();
        } else {
            throw UsageError("unknown option \"" + argument + "\"");
        }
    }

    const char* what = isXpl ? "XPL" : isTitles ? "DISC" : "EVO";
    if (positional.empty()) throw UsageError(std::string("the ") + what + " file is missing");
    if (positional.size() > 1)
        throw UsageError("more than one " + std::string(what) + " file: \"" + positional[1] + "\"");
    request.input = positional.front();
    if (request.input.empty()) throw UsageError(std::string("the ") + what + " file name is empty");
    for (const auto* file :
         {&request.xpl, &request.evo, &request.tags, &request.tree, &request.playlist})
        if (*file && (*file)->empty()) throw UsageError("an empty file name was given");
    return parsed;
}

}  // namespace tarnwell::cli
