#include "cli/cli_request.h"

#include <cstddef>
#include <initializer_list>

#include "engine/version.h"

namespace tarnwell::cli {

namespace {

// ---- Commands -------------------------------------------------------------------------------

struct Command {
    const char* name;
    Subcommand subcommand;
    const char* input;     // the one file it takes, as the usage text names it
    const char* synopsis;  // the options its usage line shows before the file
    const char* summary;   // what it does: the window's jobs it runs; '\n' between lines
};

constexpr Command kCommands[] = {
    {"read", Subcommand::Read, "EVO", "[OPTIONS] ", "Read EVO"},
    {"demux", Subcommand::Demux, "EVO", "[OPTIONS] [--xpl XPL] ",
     "Read EVO, Read XPL (with --xpl), untick (--only, --drop), Demux"},
    {"rebuild", Subcommand::Rebuild, "EVO", "[OPTIONS] [--xpl XPL] ",
     "Read EVO, Read XPL (with --xpl), untick (--only, --drop), Rebuild"},
    {"xpl", Subcommand::Xpl, "XPL", "[OPTIONS] [--evo EVO] [--tags FILE] [--tree FILE] ",
     "Read XPL; with --evo the EVO file is chosen first, which selects the title"},
    {"titles", Subcommand::Titles, "DISC", "[--json] [--playlist XPL] ",
     "lists every title of the disc's playlist, one line each: number, name, duration,\n"
     "its EVO files (missing ones marked), chapters, audio and subtitle tracks. DISC is\n"
     "the folder holding HVDVD_TS and ADV_OBJ, either of them, or the playlist file"},
    {"mkv", Subcommand::Mkv, "DISC", "[OPTIONS] [--title N]... [--all] ",
     "one Matroska file per title, DIR/NAME.mkv, over all its EVO files (mkvmerge\n"
     "from PATH); by default the longest title whose EVO files are all present"},
};

const Command* commandNamed(const std::string& name) {
    for (const Command& command : kCommands)
        if (name == command.name) return &command;
    return nullptr;
}

// The commands an option applies to, a bit per Subcommand.
using Commands = unsigned;
constexpr Commands kEveryCommand = ~0u;
constexpr Commands bit(Subcommand subcommand) {
    return 1u << static_cast<unsigned>(subcommand);
}
constexpr Commands only(std::initializer_list<Subcommand> subcommands) {
    Commands commands = 0;
    for (const Subcommand subcommand : subcommands) commands |= bit(subcommand);
    return commands;
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

void checkExtension(const std::string& option, const std::string& value) {
    if (value.size() > kMaxExtensionLength)
        throw UsageError(option + " takes at most " + std::to_string(kMaxExtensionLength) +
                         " characters: \"" + value + "\"");
}

int titleNumber(const std::string& text) {
    int number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || number > 99999) number = -1;
        if (number < 0) break;
        number = number * 10 + (c - '0');
    }
    if (text.empty() || number < 1)
        throw UsageError("--title takes a title number: \"" + text + "\"");
    return number;
}

// ---- Options --------------------------------------------------------------------------------

struct Option {
    const char* name;
    const char* shortName;  // or nullptr
    const char* argument;   // the value's name in the usage text; nullptr: takes no value
    Commands commands;
    const char* help;  // the usage text's lines for it, '\n' between them
    void (*set)(CliRequest& request, const std::string& value);
    // --help, --version: found anywhere before "--", before the command is looked at; they set
    // this and the rest of the line is not read.
    bool ParsedCommandLine::*stops = nullptr;
    // An extension's option: its value is checked against the limit, and the usage text adds
    // the limit and the default.
    std::optional<TextOption> extensionOf = std::nullopt;
};

void appendSlots(std::vector<SlotRef>& to, const std::string& list) {
    const auto slots = parseSlotList(list);
    to.insert(to.end(), slots.begin(), slots.end());
}

// In the order the usage text lists them.
constexpr Option kOptions[] = {
    {"--output-dir", "-o", "DIR", kEveryCommand,
     "the \"Output folder\" (default empty: the current folder)",
     [](CliRequest& r, const std::string& v) { r.outputDir = v; }},
    {"--video-ext", nullptr, "E", kEveryCommand, "extension of video files",
     [](CliRequest& r, const std::string& v) { r.videoExt = v; }, nullptr, TextOption::VideoExt},
    {"--audio-ext", nullptr, "E", kEveryCommand, "extension of audio files",
     [](CliRequest& r, const std::string& v) { r.audioExt = v; }, nullptr, TextOption::AudioExt},
    {"--sub-ext", nullptr, "E", kEveryCommand, "extension of subpicture files",
     [](CliRequest& r, const std::string& v) { r.subExt = v; }, nullptr, TextOption::SubExt},
    {"--no-continue", nullptr, nullptr, kEveryCommand,
     "don't go on from a \"_1.EVO\" file into the \"_2.EVO\" file beside it",
     [](CliRequest& r, const std::string&) { r.continueWithNext = false; }},
    {"--no-fast-check", nullptr, nullptr, kEveryCommand,
     "Read EVO scans the whole file, not only the first ~300 MB",
     [](CliRequest& r, const std::string&) { r.fastCheck = false; }},
    {"--no-count-frames", nullptr, nullptr, kEveryCommand, "don't count video frames",
     [](CliRequest& r, const std::string&) { r.countFrames = false; }},
    {"--sup", nullptr, "FORM", only({Subcommand::Demux}),
     "demux: subpictures as raw (default: the payload and a .pts file),\n"
     "hd (HD-DVD SUP) or pgs (Blu-ray SUP, times from video stream 0)",
     [](CliRequest& r, const std::string& v) { r.subpictures = subpictureFormNamed(v); }},
    {"--matroska", nullptr, nullptr, only({Subcommand::Read, Subcommand::Demux}),
     "read, demux: \"Matroska-ready files\": codec extensions, audio delays\n"
     "in the names, LPCM as WAV, chapters and an mkvmerge option file",
     [](CliRequest& r, const std::string&) { r.matroskaReady = true; }},
    {"--mkv", nullptr, nullptr, only({Subcommand::Demux}),
     "demux: as --matroska, then run mkvmerge (from PATH) on the option file",
     [](CliRequest& r, const std::string&) { r.matroskaReady = r.makeMkv = true; }},
    {"--only", nullptr, "SLOTS", kEveryCommand,
     "after the reads, untick every stream slot not listed",
     [](CliRequest& r, const std::string& v) {
         if (!r.only) r.only.emplace();
         appendSlots(*r.only, v);
     }},
    {"--drop", nullptr, "SLOTS", kEveryCommand, "after the reads, untick the listed slots",
     [](CliRequest& r, const std::string& v) { appendSlots(r.drop, v); }},
    {"--xpl", nullptr, "XPL", only({Subcommand::Demux, Subcommand::Rebuild}),
     "demux, rebuild: read this playlist before the job",
     [](CliRequest& r, const std::string& v) { r.xpl = v; }},
    {"--evo", nullptr, "EVO", only({Subcommand::Xpl}),
     "xpl: choose this EVO file before reading the playlist",
     [](CliRequest& r, const std::string& v) { r.evo = v; }},
    {"--tags", nullptr, "FILE", only({Subcommand::Xpl}),
     "xpl: write the playlist's tag lines to FILE, one per line",
     [](CliRequest& r, const std::string& v) { r.tags = v; }},
    {"--tree", nullptr, "FILE", only({Subcommand::Xpl}),
     "xpl: write the title tree to FILE, two blanks per level",
     [](CliRequest& r, const std::string& v) { r.tree = v; }},
    {"--json", nullptr, nullptr, only({Subcommand::Read, Subcommand::Titles, Subcommand::Mkv}),
     "read, titles, mkv: print one JSON document on standard output\n"
     "instead of the log or the lines",
     [](CliRequest& r, const std::string&) { r.json = true; }},
    {"--playlist", nullptr, "XPL", only({Subcommand::Titles, Subcommand::Mkv}),
     "titles, mkv: read this playlist, not the lowest ADV_OBJ/VPLST*.XPL",
     [](CliRequest& r, const std::string& v) { r.playlist = v; }},
    {"--title", nullptr, "N", only({Subcommand::Mkv}), "mkv: make title N (again for more titles)",
     [](CliRequest& r, const std::string& v) { r.titles.push_back(titleNumber(v)); }},
    {"--all", nullptr, nullptr, only({Subcommand::Mkv}), "mkv: make every title of the disc",
     [](CliRequest& r, const std::string&) { r.allTitles = true; }},
    {"--keep-files", nullptr, nullptr, only({Subcommand::Mkv}),
     "mkv: keep a title's intermediate files after its success",
     [](CliRequest& r, const std::string&) { r.keepFiles = true; }},
    {"--help", "-h", nullptr, kEveryCommand, "show this text", nullptr, &ParsedCommandLine::help},
    {"--version", nullptr, nullptr, kEveryCommand, "show the program's version", nullptr,
     &ParsedCommandLine::version},
};

const Option* optionNamed(const std::string& name) {
    for (const Option& option : kOptions)
        if (name == option.name || (option.shortName != nullptr && name == option.shortName))
            return &option;
    return nullptr;
}

// ---- Usage text -----------------------------------------------------------------------------

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) text.resize(width, ' ');
    return text;
}

std::string buildUsage() {
    std::string text = "Usage:\n";
    for (const Command& command : kCommands)
        text += std::string("  tarnwell-cli ") + padded(command.name, 7) + " " + command.synopsis +
                command.input + "\n";
    text += "  tarnwell-cli --help | --version\n\n";
    text += "Runs the jobs of the window's buttons on the command line:\n";
    for (const Command& command : kCommands) {
        text += "  " + padded(command.name, 9);
        for (const char* summary = command.summary; *summary != 0; ++summary)
            text += *summary == '\n' ? "\n" + std::string(11, ' ') : std::string(1, *summary);
        text += "\n";
    }
    text +=
        R"(Every message-log line goes to standard output, one per line. The error text of a failed
job goes to standard error, and so does a live progress line when it is a terminal.

OPTIONS (defaults are the window's design defaults; no stored settings are read):
)";
    // Each option's names and value in a column of 20, its help beside them.
    for (const Option& option : kOptions) {
        std::string names = option.shortName ? std::string(option.shortName) + ", " : "";
        names += option.name;
        if (option.argument) names += std::string(" ") + option.argument;
        text += "  " + padded(names, 20) + "  ";
        for (const char* help = option.help; *help != 0; ++help)
            text += *help == '\n' ? "\n" + std::string(24, ' ') : std::string(1, *help);
        if (option.extensionOf)
            text += ", at most " + std::to_string(kMaxExtensionLength) + " characters (default " +
                    std::string(defaultText(*option.extensionOf)) + ")";
        text += "\n";
    }
    text += R"(SLOTS: comma list of video0 video1 audio00..audio15 sub00..sub15

An interrupt (Ctrl-C) cancels the running job as the Cancel button does: the files are
closed and keep what was written, and no further job starts. A second interrupt ends the
program at once.

Exit status:
  0  every job ended normally (a cancelled job ends normally)
  1  a job ended on an error
  2  usage error
  130  read --json or mkv was interrupted: no document was written, the
       unfinished Matroska file was removed
)";
    return text;
}

}  // namespace

const char* usageText() {
    static const std::string text = buildUsage();
    return text.c_str();
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
        if (const Option* option = optionNamed(argument); option && option->stops) {
            parsed.*option->stops = true;
            return parsed;
        }
    }
    if (arguments.empty()) throw UsageError("no command given");
    const Command* command = commandNamed(arguments.front());
    if (!command) throw UsageError("unknown command \"" + arguments.front() + "\"");

    auto& request = parsed.request;
    request.subcommand = command->subcommand;
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
        // --help and --version with a value are not known.
        const Option* option = optionNamed(argument);
        if (!option || option->stops) throw UsageError("unknown option \"" + argument + "\"");
        if (!option->argument && attached) throw UsageError(argument + " takes no value");
        if ((option->commands & bit(request.subcommand)) == 0)
            throw UsageError(argument + " does not apply to the " + arguments.front() + " command");
        std::string value;
        if (option->argument) {
            if (attached) {
                value = *attached;
            } else {
                if (i + 1 >= arguments.size()) throw UsageError(argument + " needs a value");
                value = arguments[++i];
            }
        }
        if (option->extensionOf) checkExtension(argument, value);
        option->set(request, value);
    }

    const std::string what = command->input;
    if (positional.empty()) throw UsageError("the " + what + " file is missing");
    if (positional.size() > 1)
        throw UsageError("more than one " + what + " file: \"" + positional[1] + "\"");
    if (request.allTitles && !request.titles.empty())
        throw UsageError("--all and --title do not go together");
    request.input = positional.front();
    if (request.input.empty()) throw UsageError("the " + what + " file name is empty");
    for (const auto* file :
         {&request.xpl, &request.evo, &request.tags, &request.tree, &request.playlist})
        if (*file && (*file)->empty()) throw UsageError("an empty file name was given");
    return parsed;
}

}  // namespace tarnwell::cli
