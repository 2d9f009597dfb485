// Read EVO, then Demux with "Matroska-ready files", through the jobs layer over arbitrary
// bytes: subpictures go out as PGS, LPCM as WAV, and the mkvmerge option file is written. The
// job must end normally or with the file layer's error, and what it leaves must hold up:
//   - every .wav: a RIFF (or RF64) header whose sizes agree with the file's length, whole
//     blocks of samples, a consistent fmt chunk;
//   - every PGS .sup: segments "PG" of a known type that fit the file, display sets from a PCS
//     to an END, times that never go backwards, each clear at or after the showing it ends;
//   - the option file: a JSON array of strings whose files exist, the stream files non-empty
//     (a .wav one passing the WAV check).
//
// Input: 6 control bytes, then the body.
//   byte 0   bit 0 "Fast EVO checking", bit 1 "Count frames", bit 2 a second part: the body
//            is split into FEATURE_1.EVO and FEATURE_2.EVO at the pack that byte 1 names
//   byte 1   that pack (the split lies at byte1 * 2048, within the body)
//   byte 2..5 slots the Read left ticked to untick: video 0..1, audio 0..15, subpicture
//            0..13 (32 bits)
// TARNWELL_FUZZ_LOG=1 in the environment prints the jobs' log lines.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "io/file_io.h"
#include "io/report_sink.h"
#include "fuzz_support.h"
#include "jobs/commands.h"
#include "support/temp_dir.h"

namespace {

using namespace tarnwell;
using fuzz::Bytes;
namespace fs = std::filesystem;

std::uint32_t le(const Bytes& b, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | b[at + i];
    return v;
}
std::uint64_t le64(const Bytes& b, std::size_t at) {
    return std::uint64_t{le(b, at + 4, 4)} << 32 | le(b, at, 4);
}
std::uint32_t be(const Bytes& b, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | b[at + i];
    return v;
}
bool tagIs(const Bytes& b, std::size_t at, const char* tag) {
    return std::equal(tag, tag + 4, b.begin() + static_cast<std::ptrdiff_t>(at));
}

void checkWav(const std::string& name) {
    const Bytes b = testing::readFile(name);
    const auto bad = [&](const std::string& what) { fuzz::finding(name + ": WAV " + what); };
    if (b.size() < 12 || !(tagIs(b, 0, "RIFF") || tagIs(b, 0, "RF64")) || !tagIs(b, 8, "WAVE"))
        bad("file without a RIFF/RF64 WAVE header");
    const bool rf64 = tagIs(b, 0, "RF64");
    std::uint64_t riffSize = le(b, 4, 4), dataSize = 0;
    std::uint32_t blockAlign = 0;
    bool haveFmt = false, haveData = false;
    for (std::size_t at = 12; at < b.size();) {
        if (at + 8 > b.size()) bad("chunk header cut short");
        std::uint64_t size = le(b, at + 4, 4);
        const std::size_t body = at + 8;
        if (rf64 && tagIs(b, at, "ds64") && size >= 24 && body + 24 <= b.size())
            riffSize = le64(b, body), dataSize = le64(b, body + 8);
        if (tagIs(b, at, "data")) {
            if (!haveFmt) bad("data before fmt");
            if (rf64) size = dataSize;
            dataSize = size;
            haveData = true;
        }
        if (body + size > b.size()) bad("chunk larger than the file");
        if (tagIs(b, at, "fmt ")) {
            if (size < 16) bad("fmt chunk too short");
            const std::uint32_t tag = le(b, body, 2), channels = le(b, body + 2, 2),
                                rate = le(b, body + 4, 4), bytesPerSecond = le(b, body + 8, 4),
                                container = le(b, body + 14, 2);
            blockAlign = le(b, body + 12, 2);
            std::uint32_t valid = container;
            if (tag == 0xFFFE) {
                if (size < 40 || le(b, body + 16, 2) != 22) bad("extensible fmt chunk too short");
                valid = le(b, body + 18, 2);
            } else if (tag != 1) {
                bad("format tag " + std::to_string(tag));
            }
            if (channels < 1 || channels > 8) bad("channel count " + std::to_string(channels));
            if (!(container == 16 && valid == 16) &&
                !(container == 24 && (valid == 20 || valid == 24)))
                bad("sample size " + std::to_string(valid) + " in " + std::to_string(container));
            if (blockAlign != channels * container / 8 || bytesPerSecond != rate * blockAlign)
                bad("block align or byte rate inconsistent");
            haveFmt = true;
        }
        at = body + size + (size & 1);
        if (haveData && at != b.size()) bad("data chunk does not end the file");
    }
    if (!haveData) bad("file without a data chunk");
    if (riffSize != b.size() - 8) bad("RIFF size differs from the file's length");
    if (dataSize % blockAlign != 0) bad("data size not a multiple of the block align");
}

void checkPgs(const std::string& name) {
    const Bytes b = testing::readFile(name);
    const auto bad = [&](const std::string& what) { fuzz::finding(name + ": PGS " + what); };
    std::uint32_t lastTime = 0, shownAt = 0;
    bool inSet = false;
    for (std::size_t at = 0; at < b.size();) {
        if (at + 13 > b.size() || b[at] != 'P' || b[at + 1] != 'G')
            bad("segment without \"PG\" at " + std::to_string(at));
        const std::uint8_t type = b[at + 10];
        const std::uint32_t time = be(b, at + 2, 4), size = be(b, at + 11, 2);
        if (type != 0x14 && type != 0x15 && type != 0x16 && type != 0x17 && type != 0x80)
            bad("segment type " + std::to_string(type));
        if (at + 13 + size > b.size()) bad("segment larger than the file");
        if ((type == 0x16) == inSet) bad(inSet ? "PCS within a display set" : "set without PCS");
        if (type == 0x16) {
            if (size < 11) bad("PCS too short");
            const bool clears = b[at + 13 + 10] == 0;
            if (clears && time < shownAt)
                bad("clear at " + std::to_string(time) + " before its showing at " +
                    std::to_string(shownAt));
            if (!clears) shownAt = time;
        }
        if (time < lastTime)
            bad("time " + std::to_string(time) + " after " + std::to_string(lastTime));
        lastTime = time;
        inSet = type != 0x80;
        at += 13 + size;
    }
    if (inSet) bad("last display set without END");
}

// A file the option file names: there, and a stream file not empty and readable as its kind.
void checkListed(const std::string& name, bool stream) {
    if (!fs::path(name).is_absolute()) fuzz::finding("option file names a relative path " + name);
    if (!stream) return;
    if (!fs::is_regular_file(name)) fuzz::finding("option file names a missing file " + name);
    if (fs::file_size(name) == 0) fuzz::finding("option file names an empty file " + name);
    if (fs::path(name).extension() == ".wav") checkWav(name);
}

// The arguments of mkvmerge_options.h: options with one value each, the rest track files.
void checkOptionFile(const std::string& name) {
    const Bytes b = testing::readFile(name);
    const auto args = nlohmann::json::parse(b.begin(), b.end(), nullptr, false);
    if (!args.is_array()) fuzz::finding(name + " is not a JSON array");
    for (const auto& arg : args)
        if (!arg.is_string()) fuzz::finding(name + " holds a value that is not a string");
    bool haveOutput = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto arg = args[i].get<std::string>();
        if (!arg.starts_with("--")) {
            checkListed(arg, true);
            continue;
        }
        if (++i == args.size()) fuzz::finding(name + ": " + arg + " without its value");
        const auto value = args[i].get<std::string>();
        if (arg == "--output") {
            haveOutput = true;
            checkListed(value, false);
            if (!fs::is_directory(fs::path(value).parent_path()))
                fuzz::finding(name + ": the output's folder is missing");
        }
        if (arg == "--chapters") checkListed(value, true);
    }
    if (!haveOutput) fuzz::finding(name + " without --output");
}

void checkOutputs(const fs::path& folder) {
    int optionFiles = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().string();
        if (name.ends_with(".wav")) checkWav(name);
        if (name.ends_with(".sup")) checkPgs(name);
        if (name.ends_with(".mkvmerge.json")) ++optionFiles, checkOptionFile(name);
    }
    if (optionFiles != 1) fuzz::finding(std::to_string(optionFiles) + " option files written");
}

constexpr std::size_t kPack = 2048;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader input(data, size);
    const std::uint8_t flags = input.byte();
    const std::size_t splitPack = input.byte();
    const std::uint32_t untick = input.bits(4);
    const Bytes body(input.rest(), input.rest() + input.restSize());
    const std::size_t split = std::min(splitPack * kPack, body.size());

    const fs::path root = fuzz::scratchFolder();
    const fs::path disc = root / "HVDVD_TS", out = root / "out";
    fs::create_directories(disc);
    fs::create_directories(out);
    const bool twoParts = flags & 4;
    const auto cut = body.begin() + static_cast<std::ptrdiff_t>(twoParts ? split : body.size());
    testing::writeFile((disc / "FEATURE_1.EVO").string(), Bytes(body.begin(), cut));
    if (twoParts) testing::writeFile((disc / "FEATURE_2.EVO").string(), Bytes(cut, body.end()));

    BasicHost host;
    host.workdir = out.string() + "/";
    host.matroskaReady = true;
    host.fastCheck = flags & 1;
    host.countFrames = flags & 2;
    host.clock = [] { return 45000.0; };
    RecordingSink sink;
    bool normal = true;
    {
        Commands commands(sink, host);
        commands.input().chooseEvo((disc / "FEATURE_1.EVO").string(), host);
        try {
            commands.readEvo();
            auto& selection = commands.selection();
            for (int n = 0; n < 32; ++n) {
                if (!(untick >> n & 1)) continue;
                const SlotKind kind = n < 2    ? SlotKind::Video
                                      : n < 18 ? SlotKind::Audio
                                               : SlotKind::Subpicture;
                selection.setChecked(kind, n < 2 ? n : n < 18 ? n - 2 : n - 18, false);
            }
            // The window offers Demux only with a box ticked.
            if (selection.AnyChecked())
                commands.bDemuxClick();
            else
                normal = false;
        } catch (const FileError&) {
            normal = false;  // the file layer's error ends a job; its files are not checked
        } catch (const std::exception& error) {
            fuzz::finding(std::string("the job ended with ") + error.what());
        }
    }
    if (std::getenv("TARNWELL_FUZZ_LOG"))  // for looking into a finding
        for (const auto& line : sink.lines) std::fprintf(stderr, "%s\n", line.c_str());
    if (normal) checkOutputs(out);
    fs::remove_all(out);
    fs::remove_all(disc);
    return 0;
}
