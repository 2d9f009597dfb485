// Read EVO and Demux through `Commands`, as the window runs them, over generated and
// adversarial title parts, against what the reference model of the scan loop says each pass
// gives: every log line of both jobs in order (with the "Creating " lines, the continuation
// line and the frame counts of both parts), both status panels, and the bytes of every file.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "jobs/job_fixture.h"
#include "support/adversarial_input.h"
#include "support/reference_model.h"

namespace tarnwell::testing {
namespace {

using adversarial::Random;
using fixture::Bytes;
using reference::ModelOptions;
using reference::ModelResult;
using reference::Slot;
using Lines = std::vector<std::string>;

// The check box caption that the Read EVO job gives a found stream.
std::string caption(const Slot& slot, std::int32_t code) {
    const auto [group, n] = slot;
    const auto two = [](int k) { return (k < 10 ? "0" : "") + std::to_string(k); };
    if (group == 'v') {
        const char* type = code >= 0xE0 && code <= 0xE1   ? "MPEG-2.stream"
                           : code >= 0xE2 && code <= 0xE3 ? "H.264.stream"
                                                          : "VC-1.stream";
        return std::string(type) + "." + std::to_string(n);
    }
    if (group == 'a') {
        const char* type = code <= 0x87   ? "DD.stream"
                           : code <= 0x8F ? "DTSHD.stream"
                           : code <= 0xA7 ? "LPCM.stream"
                           : code <= 0xB7 ? "MLP.stream"
                                          : "DD+.stream";
        return std::string(type) + "." + two(n);
    }
    return std::string(code <= 0x2F ? "Subpicture" : "Ext.Subpicture") + "." + two(n);
}

// Slots ticked by the Read EVO job: every found stream with a box, in box order.
std::vector<std::pair<Slot, std::int32_t>> foundSlots(const ModelResult& read) {
    std::vector<std::pair<Slot, std::int32_t>> found;
    for (int n = 0; n < 2; ++n)
        if (read.videoIds[n] >= 0) found.push_back({{'v', n}, read.videoIds[n]});
    for (int n = 0; n < 16; ++n)
        if (read.audioIds[n] >= 0) found.push_back({{'a', n}, read.audioIds[n]});
    for (int n = 0; n < 16; ++n)
        if (read.subIds[n] >= 0) found.push_back({{'s', n}, read.subIds[n]});
    return found;
}

void appendLines(Lines& lines, const Lines& more) {
    lines.insert(lines.end(), more.begin(), more.end());
}

void appendFrameLines(Lines& lines, std::int64_t first, std::int64_t second) {
    if (first > 0) lines.push_back(std::to_string(first) + " frames count in video stream 0.");
    if (second > 0) lines.push_back(std::to_string(second) + " frames count in video stream 1.");
}

std::string sizeLine(std::size_t bytes) {
    return "File size: " + std::to_string(bytes / 1048576) + " Mbytes.";
}

struct TitleCase {
    const char* name;
    std::function<Bytes(Random&)> make;
    bool split;  // a second part FEATURE_2.EVO lies beside the first
    std::uint32_t seed;
};

void PrintTo(const TitleCase& title, std::ostream* out) {
    *out << title.name;
}

class ReferenceJobsTest : public JobFixture, public ::testing::WithParamInterface<TitleCase> {
  protected:
    ReferenceJobsTest() {
        host.clock = [] { return 45000.0; };
    }
};

TEST_P(ReferenceJobsTest, JobsGiveWhatTheModelGives) {
    const TitleCase& title = GetParam();
    Random random(title.seed);
    const Bytes first = title.make(random);
    const Bytes second = title.split ? title.make(random) : Bytes{};
    writeFile(disc("FEATURE_1.EVO"), first);
    if (title.split) writeFile(disc("FEATURE_2.EVO"), second);

    ModelOptions options;
    options.fileName = "FEATURE_1.EVO";
    const ModelResult scan = reference::runModel(first, options);

    // Read EVO.
    choose("FEATURE_1.EVO");
    ASSERT_EQ(read(), "");
    Lines expected{"Opening file FEATURE_1.EVO", sizeLine(first.size())};
    appendLines(expected, scan.lines);
    expected.push_back("Done.");
    appendFrameLines(expected, scan.frames[0], scan.frames[1]);
    EXPECT_EQ(sink.lines, expected);
    Lines progress = scan.progress;
    progress.push_back("");
    EXPECT_EQ(sink.statusTexts(0), (Lines{"Opening", "Reading", "Ready"}));
    EXPECT_EQ(sink.statusTexts(1), progress);

    // Demux of every stream found, into one set of files over both parts.
    const std::size_t readLines = sink.lines.size();
    const std::size_t readStatus = sink.status.size();
    const auto found = foundSlots(scan);
    const std::string base = out(title.split ? "FEATURE_1_2" : "FEATURE_1");
    options.mode = 1;
    for (const auto& slot : found) options.ticked.push_back(slot.first);
    const ModelResult pass1 = reference::runModel(first, options);
    options.fileName = "FEATURE_2.EVO";
    const ModelResult pass2 = title.split ? reference::runModel(second, options) : ModelResult{};

    ASSERT_EQ(demuxJob(), "");
    expected = {"Opening file FEATURE_1.EVO", sizeLine(first.size())};
    std::vector<std::string> names;
    for (const auto& [slot, code] : found) {
        const char* extension = slot.first == 'v' ? "mpv" : slot.first == 'a' ? "mpa" : "sup";
        names.push_back(base + "." + caption(slot, code) + "." + extension);
        expected.push_back("Creating " + names.back());
    }
    appendLines(expected, pass1.lines);
    if (title.split) {
        expected.push_back("Continue on FEATURE_2.EVO");
        appendLines(expected, pass2.lines);
    }
    expected.push_back("Done.");
    appendFrameLines(expected, pass1.frames[0] + pass2.frames[0],
                     pass1.frames[1] + pass2.frames[1]);
    EXPECT_EQ(linesFrom(readLines), expected);

    Lines panel0, panel1;
    for (std::size_t k = readStatus; k < sink.status.size(); ++k)
        (sink.status[k].panel == 0 ? panel0 : panel1).push_back(sink.status[k].text);
    EXPECT_EQ(panel0, (Lines{"Opening", "Writing stream(s)", "Ready"}));
    progress = pass1.progress;
    appendLines(progress, pass2.progress);
    progress.push_back("");
    EXPECT_EQ(panel1, progress);

    for (std::size_t k = 0; k < found.size(); ++k) {
        const Slot slot = found[k].first;
        SCOPED_TRACE(names[k]);
        Bytes expectedBytes;
        for (const ModelResult* pass : {&pass1, &pass2}) {
            const auto it = pass->outputs.find(slot);
            if (it != pass->outputs.end()) fixture::append(expectedBytes, it->second);
        }
        EXPECT_TRUE(readFile(names[k]) == expectedBytes);
        if (slot.first != 's') continue;
        Bytes expectedPts;
        for (const ModelResult* pass : {&pass1, &pass2}) {
            const auto it = pass->pts.find(slot.second);
            if (it != pass->pts.end()) fixture::append(expectedPts, it->second);
        }
        const std::string ptsName = names[k].substr(0, names[k].size() - 3) + "pts";
        EXPECT_TRUE(readFile(ptsName) == expectedPts);
    }
}

const TitleCase kTitles[] = {
    {"PES fragments", [](Random& r) { return adversarial::pesFragments(r, 150000 + r() % 150000); },
     false, 31},
    {"PES fragments over two parts",
     [](Random& r) { return adversarial::pesFragments(r, 100000 + r() % 100000); }, true, 32},
    {"start code alphabet over two parts",
     [](Random& r) { return adversarial::alphabetBytes(r, 90000 + r() % 90000); }, true, 33},
    {"every substream id over two parts",
     [](Random& r) {
         std::vector<int> ids(256);
         for (int id = 0; id < 256; ++id) ids[id] = id;
         std::shuffle(ids.begin(), ids.end(), r);
         return adversarial::everySubstreamId(r, ids);
     },
     true, 34},
    {"packets across block boundaries and past four mebibytes",
     [](Random& r) { return adversarial::acrossBoundaries(r, 130 + static_cast<int>(r() % 8)); },
     true, 35},
};

INSTANTIATE_TEST_SUITE_P(Titles, ReferenceJobsTest, ::testing::ValuesIn(kTitles),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (auto& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
}  // namespace tarnwell::testing
