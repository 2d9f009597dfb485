// The engine against the plain reference model, on generated and adversarial inputs: random
// bytes, bytes from a small alphabet full of start codes, PES fragments with every flag and
// header length, every substream id, packets laid across block boundaries and packets
// without payload. Each input is run in read mode and in demux mode with a seeded choice of
// ticked streams; the stream table, the log lines, the progress texts, the frame counts and
// the bytes of every output and time-stamp file must be the same.

#include "support/reference_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "engine_harness.h"
#include "support/adversarial_input.h"

namespace tarnwell {
namespace {

using fixture::Bytes;
using reference::ModelOptions;
using reference::ModelResult;
using reference::Slot;
using testing::EngineHarness;
using namespace testing::adversarial;

// ---- Comparison ----------------------------------------------------------------------------

std::vector<Slot> chooseTicked(Random& random) {
    std::vector<Slot> ticked;
    const int share = static_cast<int>(random() % 4);  // none, some, most, all
    const auto pick = [&] { return share == 3 || (share > 0 && random() % 3 < unsigned(share)); };
    for (int n = 0; n < 2; ++n)
        if (pick()) ticked.push_back({'v', n});
    for (int n = 0; n < 16; ++n)
        if (pick()) ticked.push_back({'a', n});
    for (int n = 0; n < 16; ++n)
        if (pick()) ticked.push_back({'s', n});
    return ticked;
}

SlotKind slotKind(char group) {
    return group == 'v' ? SlotKind::Video : group == 'a' ? SlotKind::Audio : SlotKind::Subpicture;
}

void expectSameRun(const Bytes& input, int mode, const std::vector<Slot>& ticked, bool countFrames,
                   const std::string& what, int cancelAtProgress = 0) {
    SCOPED_TRACE(what + (mode == 0 ? ", read mode" : ", demux mode"));
    ModelOptions options;
    options.cancelAtProgress = cancelAtProgress;
    options.mode = mode;
    options.countFrames = countFrames;
    options.ticked = ticked;
    options.fileName = "FEATURE_1.EVO";
    const ModelResult model = reference::runModel(input, options);

    EngineHarness h;
    h.host.countFrames = countFrames;
    h.setInput(input, options.fileName);
    for (const auto& [group, n] : ticked) h.output(slotKind(group), n);
    h.host.onProcessEvents = [&h, cancelAtProgress] {
        if (h.host.eventRounds == cancelAtProgress) h.state.CancelRequested = true;
    };
    if (mode == 0)
        h.read();
    else
        h.demuxAll();

    EXPECT_EQ(h.state.streamTable.VideoIds, model.videoIds);
    EXPECT_EQ(h.state.streamTable.AudioIds, model.audioIds);
    EXPECT_EQ(h.state.streamTable.SubIds, model.subIds);
    EXPECT_EQ(h.sink.lines, model.lines);
    EXPECT_EQ(h.sink.statusTexts(1), model.progress);
    EXPECT_EQ(h.sink.statusTexts(0), std::vector<std::string>{});
    EXPECT_EQ(h.state.CancelRequested, model.cancelled);
    EXPECT_EQ(h.state.FrameCount[0], model.frames[0]);
    EXPECT_EQ(h.state.FrameCount[1], model.frames[1]);
    for (const auto& [group, n] : ticked) {
        const auto found = model.outputs.find({group, n});
        const Bytes expected = found == model.outputs.end() ? Bytes{} : found->second;
        const Bytes actual = h.written(slotKind(group), n);
        EXPECT_TRUE(actual == expected)
            << group << n << ": " << actual.size() << " bytes, model " << expected.size();
        if (group != 's') continue;
        const auto foundPts = model.pts.find(n);
        const Bytes expectedPts = foundPts == model.pts.end() ? Bytes{} : foundPts->second;
        EXPECT_TRUE(h.writtenPts(n) == expectedPts) << "pts of sub " << n;
    }
}

void expectSameRuns(const Bytes& input, Random& random, const std::string& what) {
    expectSameRun(input, 0, {}, true, what);
    expectSameRun(input, 1, chooseTicked(random), random() % 4 != 0, what);
}

struct InputCase {
    const char* name;
    std::function<Bytes(Random&)> make;
    int rounds;
    std::uint32_t seed;
};

// Sizes near and on multiples of the block size, and past the read-ahead span.
std::size_t someSize(Random& random) {
    static const std::size_t kSizes[] = {0,     1,     17,     32767,  32768,       32769,
                                         65536, 98303, 131072, 200000, 1048576 + 5, 1048576};
    return random() % 3 == 0 ? kSizes[random() % std::size(kSizes)] : 20000 + random() % 180000;
}

std::vector<int> allIds(Random& random, int kind) {
    std::vector<int> ids(256);
    for (int id = 0; id < 256; ++id) ids[id] = kind == 1 ? 255 - id : id;
    if (kind == 2) std::shuffle(ids.begin(), ids.end(), random);
    return ids;
}

const InputCase kInputCases[] = {
    {"uniform random bytes", [](Random& r) { return uniformBytes(r, someSize(r)); }, 6, 11},
    {"start code alphabet", [](Random& r) { return alphabetBytes(r, someSize(r)); }, 14, 12},
    {"PES fragments", [](Random& r) { return pesFragments(r, someSize(r)); }, 16, 13},
    {"every flag combination", [](Random& r) { return everyFlagCombination(r); }, 4, 14},
    {"every substream id", [](Random& r) { return everySubstreamId(r, allIds(r, r() % 3)); }, 6,
     15},
    {"packets across block boundaries",
     [](Random& r) { return acrossBoundaries(r, 3 + static_cast<int>(r() % 40)); }, 8, 16},
    {"packets without payload", [](Random& r) { return withoutPayload(r, 50 + r() % 400); }, 8, 17},
    {"fragments over an exact number of blocks",
     [](Random& r) {
         Bytes out = pesFragments(r, 32768 * (1 + r() % 8));
         out.resize(32768 * (out.size() / 32768));
         return out;
     },
     6, 18},
};

void PrintTo(const InputCase& input, std::ostream* out) {
    *out << input.name;
}

class ReferenceModelTest : public ::testing::TestWithParam<InputCase> {};

// A longer search by hand: TARNWELL_REFERENCE_ROUNDS multiplies the rounds of every case and
// TARNWELL_REFERENCE_SEED moves every seed.
int fromEnvironment(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != 0 ? std::atoi(text) : fallback;
}

TEST_P(ReferenceModelTest, EngineGivesWhatTheModelGives) {
    const InputCase& input = GetParam();
    Random random(input.seed +
                  static_cast<std::uint32_t>(fromEnvironment("TARNWELL_REFERENCE_SEED", 0)));
    const int rounds = input.rounds * std::max(1, fromEnvironment("TARNWELL_REFERENCE_ROUNDS", 1));
    for (int round = 0; round < rounds; ++round) {
        const Bytes bytes = input.make(random);
        expectSameRuns(bytes, random,
                       std::string(input.name) + " round " + std::to_string(round) + ", " +
                           std::to_string(bytes.size()) + " bytes");
        if (::testing::Test::HasFailure()) break;
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, ReferenceModelTest, ::testing::ValuesIn(kInputCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (auto& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// Over 8 MiB: progress texts at both 4 MiB steps, a system header summary from the first
// block, and a cancel at the first step.
TEST(ReferenceModel, LongFileWithProgressAndSummary) {
    Random random(2024);
    Bytes bytes = fixture::packHeader(0);
    fixture::append(bytes, fixture::systemHeader(5, 2));
    fixture::append(bytes, pesFragments(random, 8 * 1048576 + 4321));
    expectSameRuns(bytes, random, "long file");
    // Cancelled at the first progress step: the block in hand is parsed, then the run ends.
    expectSameRun(bytes, 0, {}, true, "long file cancelled", 1);
    expectSameRun(bytes, 1, chooseTicked(random), true, "long file cancelled", 1);
}

}  // namespace
}  // namespace tarnwell
