// Inputs that are no proper EVO file or playlist: the jobs end normally, never crash (the
// sanitizer build checks every access), close their files and write no more than they read;
// memory stays flat however large the EVO file is, and bounded by the playlist's size.

#include <algorithm>
#include <filesystem>
#include <random>

#include "engine/engine_harness.h"
#include "hardening/hardening_fixture.h"
#include "playlist/tag_scanner.h"
#include "support/adversarial_input.h"

namespace tarnwell::testing {
namespace {

namespace fs = std::filesystem;
using adversarial::Random;

struct BadInput {
    std::string what;
    Bytes bytes;
};

// A title's packs, each passed through `change` (which may cut it or add bytes after it).
template <typename Change>
Bytes eachPackOf(const EvoFixture& title, Change change) {
    Bytes out;
    const auto& bytes = title.bytes();
    for (std::size_t at = 0; at < bytes.size(); at += fixture::PackWriter::kPackSize) {
        Bytes pack(
            bytes.begin() + static_cast<std::ptrdiff_t>(at),
            bytes.begin() + static_cast<std::ptrdiff_t>(at + fixture::PackWriter::kPackSize));
        change(pack);
        fixture::append(out, pack);
    }
    return out;
}

std::vector<BadInput> badInputs(std::uint32_t seed) {
    Random random(seed);
    const auto title = EvoFixture::title(200000, seed);
    std::vector<BadInput> inputs;
    inputs.push_back({"empty", {}});
    inputs.push_back({"one byte", {static_cast<std::uint8_t>(random())}});
    inputs.push_back({"random bytes", adversarial::uniformBytes(random, 200001)});
    inputs.push_back({"start code soup", adversarial::alphabetBytes(random, 200003)});
    inputs.push_back({"truncated packs", eachPackOf(title, [&](Bytes& pack) {
                          if (random() % 3 == 0) pack.resize(random() % pack.size());
                      })});
    // The file ends inside a packet whose length reaches past it.
    inputs.push_back(
        {"cut inside the last packet", Bytes(title.bytes().begin(), title.bytes().end() - 1000)});
    Bytes pastTheEnd = title.bytes();
    fixture::PesOptions longer;
    longer.packetLength = 0xFFFF;
    fixture::append(pastTheEnd, fixture::pesPacket(0xBD, fixture::Bytes{0x20, 1, 2, 3}, longer));
    inputs.push_back({"packet length past the end", pastTheEnd});
    inputs.push_back(
        {"header lengths short of their fields", adversarial::everyFlagCombination(random)});
    inputs.push_back({"garbage between packs", eachPackOf(title, [&](Bytes& pack) {
                          fixture::append(pack,
                                          adversarial::alphabetBytes(random, random() % 3000));
                      })});
    inputs.push_back({"rogue packets", adversarial::pesFragments(random, 200000)});
    inputs.push_back({"packets without payload", adversarial::withoutPayload(random, 3000)});
    inputs.push_back({"packets across blocks", adversarial::acrossBoundaries(random, 12)});
    std::vector<int> ids(256);
    for (int id = 0; id < 256; ++id) ids[static_cast<std::size_t>(id)] = id;
    std::shuffle(ids.begin(), ids.end(), random);
    inputs.push_back({"every substream id", adversarial::everySubstreamId(random, ids)});
    return inputs;
}

class BadInputTest : public HardeningFixture {
  protected:
    // The job that logged from `from` on ended as normally: "Done." and "Ready".
    void expectNormalEnd(std::size_t from) {
        const auto lines = linesFrom(from);
        EXPECT_NE(std::find(lines.begin(), lines.end(), "Done."), lines.end());
        EXPECT_EQ(sink.panels[0], "Ready");
    }

    // Every slot with an output ticked, under a name of its own.
    void tickEverySlot() {
        auto& selection = commands.selection();
        for (int n = 0; n < 2; ++n)
            selection.MarkFromPlaylist(SlotKind::Video, n, "v" + std::to_string(n));
        for (int n = 0; n < 16; ++n) {
            selection.MarkFromPlaylist(SlotKind::Audio, n, "a" + std::to_string(n));
            selection.MarkFromPlaylist(SlotKind::Subpicture, n, "s" + std::to_string(n));
        }
    }
};

TEST_F(BadInputTest, JobsEndNormallyAndWriteNoMoreThanTheyRead) {
    for (const std::uint32_t seed : {1u, 2u}) {
        for (const auto& input : badInputs(seed)) {
            SCOPED_TRACE(input.what + ", seed " + std::to_string(seed));
            writeFile(disc("FEATURE_1.EVO"), input.bytes);
            choose("FEATURE_1.EVO");
            for (const auto& name : outputNames()) fs::remove(out(name));
            const int files = openFileCount();

            auto from = sink.lines.size();
            EXPECT_EQ(read(), "");
            expectNormalEnd(from);

            tickEverySlot();
            from = sink.lines.size();
            EXPECT_EQ(demuxJob(), "");
            expectNormalEnd(from);
            std::size_t written = 0;
            for (const auto& [name, bytes] : outputs()) written += bytes.size();
            EXPECT_LE(written, input.bytes.size());
            EXPECT_EQ(outputNames().size(), 2u + 16u + 2 * 16u);

            from = sink.lines.size();
            EXPECT_EQ(rebuildJob(), "");
            expectNormalEnd(from);
            EXPECT_LE(fs::file_size(out("FEATURE_1.rebuilt.EVO")), input.bytes.size());

            EXPECT_FALSE(anyFileOpen());
            EXPECT_EQ(openFileCount(), files);
        }
    }
}

TEST_F(BadInputTest, MemoryStaysFlatWhateverTheEvoFileSize) {
    if (kUnderAddressSanitizer) GTEST_SKIP() << "resident size means nothing under the sanitizer";
    // Holes and two titles: every stream has packs to write at the start and at the end.
    constexpr std::int64_t kSize = std::int64_t{2} << 30;
    const auto head = EvoFixture::title(1 << 20, 31);
    const auto tail = EvoFixture::title(1 << 20, 32);
    SparseDir sparse;
    writeSparseFile(sparse.file("SMALL.EVO"), 8 << 20, {{0, head.bytes()}});
    writeSparseFile(sparse.file("LARGE.EVO"), kSize,
                    {{0, head.bytes()}, {kSize - (2 << 20), tail.bytes()}});
    host.fastCheck = false;
    const auto runAll = [this](const std::string& path) {
        commands.input().chooseEvo(path, host);
        EXPECT_EQ(read(), "");
        EXPECT_EQ(demuxJob(), "");
        EXPECT_EQ(rebuildJob(), "");
    };
    // Buffers and first allocations come with the small file.
    runAll(sparse.file("SMALL.EVO"));
    if (!resetPeakMemory()) GTEST_SKIP() << "the peak resident size cannot be reset here";
    const auto before = currentMemory();

    runAll(sparse.file("LARGE.EVO"));

    EXPECT_LT(peakMemory() - before, 4 << 20);
    EXPECT_EQ(fs::file_size(out("LARGE.VC-1.stream.0.mpv")),
              head.streamBytes(kVc1).size() + tail.streamBytes(kVc1).size());
}

// Playlist bytes: random, and drawn from the words and signs the reader looks for, so that
// tags open and close, attribute items and tracks appear with every kind of value.
std::string playlistSoup(Random& random, std::size_t size) {
    static const char* const kWords[] = {
        "<",
        ">",
        "/",
        "?",
        "--",
        "\"",
        "=",
        " ",
        "\n",
        "\t",
        "<?xml",
        "<!--",
        "Playlist",
        "displayName",
        "<Title ",
        "</Title",
        "<TITLE ",
        "titleDuration",
        "<Video ",
        "<Audio ",
        "<Subtitle ",
        "<Chapter ",
        "titleTimeBegin",
        "VideoAttributeItem",
        "AudioAttributeItem",
        "SubpictureAttributeItem",
        "index",
        "codec",
        "channels",
        "track",
        "streamNumber",
        "mediaAttr",
        "description",
        "FEATURE_1",
        "1",
        "8",
        "9",
        "16",
        "17",
        "0",
        "-1",
        "+2",
        "x",
        "99999999999999999999",
    };
    std::string text;
    while (text.size() < size) {
        if (random() % 10 == 0)
            text += static_cast<char>(random());
        else
            text += kWords[random() % std::size(kWords)];
    }
    return text;
}

class BadPlaylistTest : public HardeningFixture {
  protected:
    BadPlaylistTest() {
        fs::create_directory(dir.path() / "ADV_OBJ");
        choose("FEATURE_1.EVO");
        commands.input().chooseXpl(playlistPath(), host);
    }
    std::string playlistPath() const { return dir.file("ADV_OBJ/VPLST000.XPL"); }
    void writePlaylist(const std::string& text) {
        writeFile(playlistPath(), Bytes(text.begin(), text.end()));
    }
    std::string readXpl() {
        return run([this] { return commands.bReadXPLClick(); });
    }
};

TEST_F(BadPlaylistTest, RandomPlaylistsEndNormallyOrWithTheIntegerError) {
    Random random(5);
    int normalEnds = 0;
    int integerErrors = 0;
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        const std::size_t size = 1 + random() % 200000;
        if (round % 3 == 0) {
            const auto bytes = adversarial::uniformBytes(random, size);
            writePlaylist(std::string(bytes.begin(), bytes.end()));
        } else {
            writePlaylist(playlistSoup(random, size));
        }
        const auto from = sink.lines.size();
        const int files = openFileCount();

        const auto error = readXpl();

        EXPECT_EQ(openFileCount(), files);
        EXPECT_FALSE(commands.jobRunning());
        const auto lines = linesFrom(from);
        if (error.empty()) {
            ++normalEnds;
            EXPECT_EQ(lines.back(), "Done.");
        } else {
            ++integerErrors;
            EXPECT_NE(error.find("' is not a valid integer value"), std::string::npos) << error;
            EXPECT_EQ(std::find(lines.begin(), lines.end(), "Done."), lines.end());
        }
    }
    // The soup reaches both ends.
    EXPECT_GT(normalEnds, 0);
    EXPECT_GT(integerErrors, 0);
}

TEST_F(BadPlaylistTest, PeakMemoryGrowsOnlyWithThePlaylistsSize) {
    if (kUnderAddressSanitizer) GTEST_SKIP() << "resident size means nothing under the sanitizer";
    // A 10 MB attribute value, 100,000 chapters, a title and a "<" that never closes.
    const auto playlist = [](const char* chapterEnd) {
        std::string text = "<Playlist displayName=\"" + std::string(10'000'000, 'v') + "\">\n";
        for (int i = 0; i < 100'000; ++i)
            text += std::string("<Chapter titleTimeBegin=\"1\"") + chapterEnd;
        text += "<Title id=\"t\"><Clip src=\"FEATURE_1.MAP\"/><Audio streamNumber=\"1\"/></Title>";
        return text + "<never closed " + std::string(1'000'000, 'x');
    };
    struct Case {
        const char* what;
        std::string text;
        // Each chapter nests one level deeper, so the tag lines may also hold the indentation
        // of the levels beyond the cap, as long as its budget lasts.
        bool nested;
    };
    const Case cases[] = {
        {"closed chapters", playlist("/>"), false},
        {"chapters left open", playlist(">"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writePlaylist(c.text);
        const auto size = static_cast<std::int64_t>(c.text.size());
        const auto indentation = c.nested ? indentBudgetFor(size) : 0;
        if (!resetPeakMemory()) GTEST_SKIP() << "the peak resident size cannot be reset here";
        const auto before = currentMemory();

        EXPECT_EQ(readXpl(), "");

        const auto growth = peakMemory() - before;
        EXPECT_LT(growth, 2 * (size + indentation));
        // Whatever the nesting, a small multiple of the playlist.
        EXPECT_LT(growth, 6 * size);
    }
}

}  // namespace
}  // namespace tarnwell::testing
