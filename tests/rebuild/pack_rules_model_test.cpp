// The pack rule and the Rebuild command against a second, deliberately plain implementation of
// the same rules on byte buffers: one if-chain for the filter, one loop per lookup, no shared
// helpers with the product. Random and adversarial packs, stream tables and selections (the
// selection and the table also change halfway) must give the same decisions, bytes and
// numbering, and the model checks on its own that no kept stream ever leaves its codec's ids
// or meets another stream's id.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "rebuild/pack_rules.h"
#include "rebuild_rig.h"
#include "support/codec_ids.h"

namespace tarnwell::testing {
namespace {

// ---- The model ---------------------------------------------------------------------------

CodecIds codecOf(int code) {
    const auto codec = codecIdsOf(code);
    if (!codec) ADD_FAILURE() << "no codec owns 0x" << std::hex << code;
    return codec.value_or(CodecIds{code, code});
}

enum Group { kVideo, kAudio, kSub };

struct ModelSelection {
    std::array<bool, 2> video{};
    std::array<bool, 16> audio{};
    std::array<bool, 16> sub{};
};

struct ModelTable {
    std::array<std::int32_t, 2> video{};
    std::array<std::int32_t, 16> audio{};
    std::array<std::int32_t, 16> sub{};
};

class PackModel {
  public:
    PackModel() {
        for (auto& id : newIds) id = 0xFF;
    }

    std::array<int, 256> newIds{};
    int nextVideo = 0;
    int nextAudio = 0;
    int nextSub = 0;

    // Judges the 2048 bytes of `pack` (already zero beyond the block's length).
    bool judge(std::vector<std::uint8_t>& pack, const ModelTable& table,
               const ModelSelection& sel) {
        const int id = pack[17];
        if (id == 0xBB) {
            int videos = 0;
            for (bool checked : sel.video)
                if (checked) videos++;
            int audios = 0;
            for (bool checked : sel.audio)
                if (checked) audios++;
            pack[24] = static_cast<std::uint8_t>((pack[24] & 0xE0) + videos);
            pack[23] = static_cast<std::uint8_t>((pack[23] & 0x03) + 4 * audios);
        }
        const int h = pack[22];
        const int subAt = id == 0xBD ? 23 + h : 22 + h;
        const int sub = pack[subAt];
        if (!(pack[0] == 0 && pack[1] == 0 && pack[2] == 1 && pack[3] == 0xBA)) return false;

        int group = -1;
        int code = 0;
        int at = 0;
        if (id == 0xBD && sub >= 0xC0 && sub <= 0xCF) {
            group = kAudio, code = sub, at = subAt;
        } else if (id == 0xBD && sub >= 0x88 && sub <= 0x8F) {
            group = kAudio, code = sub, at = subAt;
        } else if (id == 0xBD && sub >= 0x20 && sub <= 0x2F) {
            group = kSub, code = sub, at = subAt;
        } else if (id == 0xBD && sub >= 0x80 && sub <= 0x87) {
            group = kAudio, code = sub, at = subAt;
        } else if (id == 0xBD && sub >= 0xA0 && sub <= 0xA7) {
            group = kAudio, code = sub, at = subAt;
        } else if (id == 0xBD && sub >= 0xB0 && sub <= 0xB7) {
            group = kAudio, code = sub, at = subAt;
        } else if (id == 0xBD && sub >= 0x60 && sub <= 0x6F) {
            group = kSub, code = sub, at = subAt;
        } else if (id == 0xFD && sub >= 0x55 && sub <= 0x56) {
            group = kVideo, code = sub, at = subAt;
        } else if (id >= 0xE0 && id <= 0xE3) {
            group = kVideo, code = id, at = 17;
        } else if (id >= 0xC0 && id <= 0xDF) {
            group = kAudio, code = id, at = 17;
        }
        if (group < 0) return true;
        if (drop(group, code, table, sel)) return false;
        pack[at] = static_cast<std::uint8_t>(newIds[code]);
        return true;
    }

  private:
    bool drop(int group, int code, const ModelTable& table, const ModelSelection& sel) {
        int slot = -1;
        bool checked = false;
        if (group == kVideo) {
            for (int n = 0; n < 2 && slot < 0; n++)
                if (table.video[n] == code) slot = n, checked = sel.video[n];
        } else if (group == kAudio) {
            for (int n = 0; n < 16 && slot < 0; n++)
                if (table.audio[n] == code) slot = n, checked = sel.audio[n];
        } else {
            for (int n = 0; n < 16 && slot < 0; n++)
                if (table.sub[n] == code) slot = n, checked = sel.sub[n];
        }
        const bool dropIt = slot >= 0 && !checked;
        if (!dropIt && newIds[code] == 0xFF) {
            int& counter = group == kVideo ? nextVideo : group == kAudio ? nextAudio : nextSub;
            int numbered;
            if (group == kVideo)
                numbered = code == 0x55 || code == 0x56 ? 0x55 + counter : (code & 0xFE) | counter;
            else if (group == kAudio)
                numbered = (code & 0xF0) == 0xC0 ? 0xC0 | counter : (code & 0xF8) | counter;
            else
                numbered = (code & 0xE0) | counter;
            newIds[code] = settle(code, numbered);
            counter = (counter + 1) & 0xFF;
        }
        return dropIt;
    }

    // More kept streams than the codec has ids: the number as the table gives it while it is
    // one of the codec's ids and nobody has it, else the old id while nobody has it, else the
    // lowest id of the codec that nobody has.
    int settle(int code, int numbered) {
        const CodecIds ids = codecOf(code);
        if (numbered >= ids.first && numbered <= ids.last && !given.count(numbered)) {
            given.insert(numbered);
            return numbered;
        }
        if (!given.count(code)) {
            given.insert(code);
            return code;
        }
        for (int id = ids.first; id <= ids.last; id++) {
            if (!given.count(id)) {
                given.insert(id);
                return id;
            }
        }
        ADD_FAILURE() << "no free id for 0x" << std::hex << code;
        return code;
    }

    std::set<int> given;
};

// Every entry lies among its codec's ids, and no two codes share a new id.
void expectSoundNumbering(const std::array<int, 256>& newIds) {
    std::set<int> seen;
    for (int code = 0; code < 256; ++code) {
        if (newIds[code] == 0xFF) continue;
        const CodecIds ids = codecOf(code);
        EXPECT_GE(newIds[code], ids.first) << "code 0x" << std::hex << code;
        EXPECT_LE(newIds[code], ids.last) << "code 0x" << std::hex << code;
        EXPECT_TRUE(seen.insert(newIds[code]).second)
            << "new id 0x" << std::hex << newIds[code] << " given twice";
    }
}

// ---- Random material ---------------------------------------------------------------------

// Codes on both sides of every boundary of the filter, and the ids in between.
const std::vector<int> kCodes = {
    0x1F, 0x20, 0x21, 0x2E, 0x2F, 0x30, 0x3F, 0x54, 0x55, 0x56, 0x57, 0x5F, 0x60, 0x61,
    0x6F, 0x70, 0x7F, 0x80, 0x81, 0x86, 0x87, 0x88, 0x89, 0x8F, 0x90, 0x9F, 0xA0, 0xA3,
    0xA7, 0xA8, 0xAF, 0xB0, 0xB5, 0xB7, 0xB8, 0xBF, 0xC0, 0xC1, 0xC7, 0xC8, 0xCF, 0xD0,
    0xD3, 0xD7, 0xD8, 0xDF, 0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xEF, 0xFF, 0x00,
};

const std::vector<int> kStreamIds = {0xBD, 0xBD, 0xBD, 0xBD, 0xBD, 0xBD, 0xFD, 0xFD, 0xFD,
                                     0xBB, 0xBB, 0xBE, 0xBF, 0xE0, 0xE1, 0xE2, 0xE3, 0xE4,
                                     0xC0, 0xC5, 0xCF, 0xD0, 0xD9, 0xDF, 0xBA, 0x00};

class Material {
  public:
    explicit Material(std::uint32_t seed) : random_(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool chance(int percent) { return below(100) < percent; }
    int code() { return chance(90) ? kCodes[below(static_cast<int>(kCodes.size()))] : below(256); }

    // A whole 2048-byte pack, most often well formed, sometimes not a pack at all.
    std::vector<std::uint8_t> pack() {
        std::vector<std::uint8_t> p(2048);
        for (auto& byte : p) byte = static_cast<std::uint8_t>(below(256));
        p[0] = 0x00, p[1] = 0x00, p[2] = 0x01, p[3] = 0xBA;
        if (chance(5)) p[below(4)] ^= static_cast<std::uint8_t>(1 + below(255));
        p[14] = 0x00, p[15] = 0x00, p[16] = 0x01;
        const int id =
            chance(95) ? kStreamIds[below(static_cast<int>(kStreamIds.size()))] : below(256);
        p[17] = static_cast<std::uint8_t>(id);
        const int h = chance(85) ? below(16) : below(256);
        p[22] = static_cast<std::uint8_t>(h);
        if (id != 0xBB) {
            // The code, where the filter looks for it; now and then somewhere else.
            const int at = id == 0xBD ? 23 + h : 22 + h;
            if (chance(95)) p[at] = static_cast<std::uint8_t>(code());
        }
        return p;
    }

    void fill(ModelTable& table) {
        auto entry = [this] {
            const int kind = below(10);
            if (kind < 4) return std::int32_t{-1};
            if (kind == 4) return std::int32_t{1};
            return static_cast<std::int32_t>(code());
        };
        for (auto& e : table.video) e = entry();
        for (auto& e : table.audio) e = entry();
        for (auto& e : table.sub) e = entry();
    }

    void fill(ModelSelection& sel) {
        const int percent = below(101);
        for (auto&& b : sel.video) b = chance(percent);
        for (auto&& b : sel.audio) b = chance(percent);
        for (auto&& b : sel.sub) b = chance(percent);
    }

    void disturb(ModelTable& table, ModelSelection& sel) {
        auto flip = [](auto& slots, int n) { slots[n] = !slots[n]; };
        switch (below(4)) {
            case 0:
                flip(sel.video, below(2));
                break;
            case 1:
                flip(sel.audio, below(16));
                break;
            case 2:
                flip(sel.sub, below(16));
                break;
            default:
                table.audio[below(16)] = code();
                break;
        }
    }

  private:
    std::mt19937 random_;
};

// The product's view of the model's table and selection.
void mirror(const ModelTable& table, const ModelSelection& sel, StreamTable& productTable,
            StreamSelection& selection) {
    productTable.clear();
    for (int n = 0; n < 2; ++n) productTable.VideoIds[n] = table.video[n];
    for (int n = 0; n < 16; ++n) productTable.AudioIds[n] = table.audio[n];
    for (int n = 0; n < 16; ++n) productTable.SubIds[n] = table.sub[n];
    for (int n = 0; n < 2; ++n) selection.setChecked(SlotKind::Video, n, sel.video[n]);
    for (int n = 0; n < 16; ++n) selection.setChecked(SlotKind::Audio, n, sel.audio[n]);
    for (int n = 0; n < 16; ++n) selection.setChecked(SlotKind::Subpicture, n, sel.sub[n]);
}

// ---- Pack by pack ------------------------------------------------------------------------

TEST(PackRulesModel, RandomPacksTablesAndSelections) {
    Material material(20240611);
    for (int command = 0; command < 300; ++command) {
        SCOPED_TRACE(::testing::Message() << "command " << command);
        ModelTable table;
        ModelSelection sel;
        material.fill(table);
        material.fill(sel);
        // Video slots 2..7 are never consulted: tick them at random too.
        StreamTable productTable;
        StreamSelection selection;
        for (int n = 2; n < 8; ++n) selection.setChecked(SlotKind::Video, n, material.chance(50));
        mirror(table, sel, productTable, selection);
        RenumberingState ids;
        PackRules rules(productTable, selection, ids);
        PackModel model;

        // One shared buffer, as the command has: what an earlier pack left in it must not count.
        std::vector<std::uint8_t> buffer(kPackSize, 0);
        const int packs = 20 + material.below(200);
        for (int k = 0; k < packs; ++k) {
            if (material.chance(8)) {
                material.disturb(table, sel);
                mirror(table, sel, productTable, selection);
            }
            const auto pack = material.pack();
            const std::size_t n = material.chance(90) ? kPackSize : material.below(300);
            std::copy_n(pack.begin(), n, buffer.begin());
            const std::vector<std::uint8_t> stale(buffer.begin() + n, buffer.end());

            std::vector<std::uint8_t> expected(kPackSize, 0);
            std::copy_n(pack.begin(), n, expected.begin());
            const bool keep = model.judge(expected, table, sel);

            ASSERT_EQ(rules.RebuildPack(buffer.data(), n), keep) << "pack " << k << ", n " << n;
            if (keep) {
                ASSERT_TRUE(std::equal(buffer.begin(), buffer.begin() + n, expected.begin()))
                    << "pack " << k << ", n " << n;
            }
            ASSERT_TRUE(std::equal(stale.begin(), stale.end(), buffer.begin() + n));
            for (int code = 0; code < 256; ++code)
                ASSERT_EQ(ids.NewIds[code], model.newIds[code])
                    << "pack " << k << ", code " << code;
            ASSERT_EQ(ids.NextVideoNo, model.nextVideo);
            ASSERT_EQ(ids.NextAudioNo, model.nextAudio);
            ASSERT_EQ(ids.NextSubNo, model.nextSub);
        }
        expectSoundNumbering(model.newIds);
    }
}

TEST(PackRulesModel, EveryCodeOfEveryGroupInEveryOrder) {
    // All 66 filtered codes kept, in random orders, with the stream ids 0xC0..0xDF of audio
    // under its own id mixed in: the group counters run far past every codec's size.
    std::vector<std::pair<int, int>> streams;  // stream id, code
    for (int c = 0x55; c <= 0x56; ++c) streams.emplace_back(0xFD, c);
    for (int c = 0xE0; c <= 0xE3; ++c) streams.emplace_back(c, c);
    for (int c = 0xC0; c <= 0xDF; ++c) streams.emplace_back(c, c);
    for (const auto& [first, last] :
         {std::pair{0x80, 0x8F}, std::pair{0xA0, 0xA7}, std::pair{0xB0, 0xB7},
          std::pair{0xC0, 0xCF}, std::pair{0x20, 0x2F}, std::pair{0x60, 0x6F}})
        for (int c = first; c <= last; ++c) streams.emplace_back(0xBD, c);

    std::mt19937 random(77);
    for (int round = 0; round < 100; ++round) {
        std::shuffle(streams.begin(), streams.end(), random);
        // Before any Read: no code is in the table, so every stream is kept.
        ModelTable emptyTable;
        emptyTable.video.fill(-1);
        emptyTable.audio.fill(-1);
        emptyTable.sub.fill(-1);
        const ModelSelection sel;
        StreamTable productTable;
        StreamSelection selection;
        RenumberingState ids;
        PackRules rules(productTable, selection, ids);
        PackModel model;
        for (const auto& [streamId, code] : streams) {
            std::vector<std::uint8_t> pack(kPackSize, 0x11);
            pack[0] = 0, pack[1] = 0, pack[2] = 1, pack[3] = 0xBA;
            pack[17] = static_cast<std::uint8_t>(streamId);
            pack[22] = 5;
            pack[streamId == 0xBD   ? 28
                 : streamId == 0xFD ? 27
                                    : 17] = static_cast<std::uint8_t>(code);
            auto expected = pack;
            ASSERT_TRUE(model.judge(expected, emptyTable, sel));
            ASSERT_TRUE(rules.RebuildPack(pack.data(), pack.size()));
            ASSERT_EQ(pack, expected) << "round " << round << ", code 0x" << std::hex << code;
        }
        expectSoundNumbering(model.newIds);
    }
}

// ---- The whole command -------------------------------------------------------------------

struct Title {
    std::vector<std::uint8_t> first;
    std::vector<std::uint8_t> second;
};

// Packs of a few streams with repeats, a system header now and then, and a short tail.
std::vector<std::uint8_t> randomFile(Material& material, std::size_t packs, bool shortTail) {
    std::vector<std::uint8_t> file;
    std::vector<std::vector<std::uint8_t>> streams;
    for (int s = 0; s < 12; ++s) streams.push_back(material.pack());
    for (std::size_t k = 0; k < packs; ++k) {
        auto pack = material.chance(70) ? streams[material.below(12)] : material.pack();
        file.insert(file.end(), pack.begin(), pack.end());
    }
    if (shortTail) {
        const auto tail = material.pack();
        file.insert(file.end(), tail.begin(), tail.begin() + 1 + material.below(2047));
    }
    return file;
}

// The model over a file, pack by pack, appending what it keeps to `out`.
void modelFile(PackModel& model, const std::vector<std::uint8_t>& file, const ModelTable& table,
               const ModelSelection& sel, std::vector<std::uint8_t>& out) {
    for (std::size_t at = 0; at < file.size(); at += kPackSize) {
        const std::size_t n = std::min(kPackSize, file.size() - at);
        std::vector<std::uint8_t> pack(kPackSize, 0);
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(at), n, pack.begin());
        if (model.judge(pack, table, sel)) out.insert(out.end(), pack.begin(), pack.begin() + n);
    }
}

TEST(PackRulesModel, CommandOverATitleSplitInTwoFiles) {
    Material material(99);
    for (int run = 0; run < 12; ++run) {
        SCOPED_TRACE(::testing::Message() << "run " << run);
        RebuildRig rig;
        rig.host.workdir = rig.dir.path().string();
        ModelTable table;
        ModelSelection sel;
        material.fill(table);
        material.fill(sel);
        mirror(table, sel, rig.state->streamTable, rig.selection);

        const auto first = randomFile(material, 10 + material.below(60), false);
        const auto second = randomFile(material, material.below(60), material.chance(70));
        rig.chooseInput("FEATURE_1.EVO", first);
        writeFile(rig.dir.file("FEATURE_2.EVO"), second);
        rig.run();

        PackModel model;
        std::vector<std::uint8_t> expected;
        modelFile(model, first, table, sel, expected);
        modelFile(model, second, table, sel, expected);
        const auto out = rig.dir.file("FEATURE_1_2.rebuilt.EVO");
        EXPECT_EQ(rig.sink.lines, (std::vector<std::string>{
                                      "Opening file FEATURE_1.EVO", "File size: 0 Mbytes.",
                                      "Creating " + out, "Continue on FEATURE_2.EVO", "Done."}));
        EXPECT_EQ(readFile(out), expected);
    }
}

TEST(PackRulesModel, SelectionChangedAtTheProgressStepsOfALongFile) {
    // Events run only where the position is a multiple of 4 MiB: there the user unticks and
    // ticks streams, and the model follows from the next pack on.
    Material material(4242);
    RebuildRig rig;
    rig.host.workdir = rig.dir.path().string();
    ModelTable table;
    ModelSelection sel;
    material.fill(table);
    sel.audio.fill(true);
    sel.sub.fill(true);
    sel.video.fill(true);
    mirror(table, sel, rig.state->streamTable, rig.selection);

    const std::size_t packsPerStep = 0x400000 / kPackSize;
    const auto file = randomFile(material, 2 * packsPerStep + 40, true);
    rig.chooseInput("LONG.EVO", file);
    std::vector<ModelSelection> changes;
    for (int k = 0; k < 2; ++k) {
        changes.push_back(changes.empty() ? sel : changes.back());
        for (int d = 0; d < 6; ++d) {
            ModelTable ignored = table;
            material.disturb(ignored, changes.back());
        }
    }
    std::size_t step = 0;
    rig.host.onProcessEvents = [&] {
        mirror(table, changes.at(step), rig.state->streamTable, rig.selection);
        ++step;
    };
    rig.run();
    ASSERT_EQ(step, 2u);

    PackModel model;
    std::vector<std::uint8_t> expected;
    for (std::size_t k = 0; k * kPackSize < file.size(); ++k) {
        const std::size_t at = k * kPackSize;
        const std::size_t n = std::min(kPackSize, file.size() - at);
        std::vector<std::uint8_t> pack(kPackSize, 0);
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(at), n, pack.begin());
        // The pack that ends on a step is judged after the events of that step.
        const std::size_t steps = (k + 1) / packsPerStep;
        const auto& now = steps == 0 ? sel : changes[steps - 1];
        if (model.judge(pack, table, now))
            expected.insert(expected.end(), pack.begin(), pack.begin() + n);
    }
    EXPECT_EQ(readFile(rig.dir.file("LONG.rebuilt.EVO")), expected);
    EXPECT_EQ(
        rig.sink.statusTexts(1),
        (std::vector<std::string>{"Rebuilding LONG.EVO 4/8 Mbytes, Remaining time: 0:00:01",
                                  "Rebuilding LONG.EVO 8/8 Mbytes, Remaining time: 0:00:01", ""}));
}

}  // namespace
}  // namespace tarnwell::testing
