// The Read XPL command against a second, deliberately plain implementation of the playlist
// rules: the byte scan with its tag checks, the attribute lookup, the title selection and the
// tree, written as one loop each without the product's helpers. Random well-formed and broken
// playlists (comments, processing instructions, "/>", stray "<" and ">", control bytes,
// quoting of every kind, values at the edge of the lookup window, numbers out of range, tags
// across the 32768-byte block boundary) must give the same tag lines, tree, log lines, status
// texts, stream table marks, slot states, attribute tables and errors, read after read.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "io/file_io.h"
#include "jobs/read_xpl_job.h"
#include "playlist/tag_scanner.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using Lines = std::vector<std::string>;

// ---- The model ---------------------------------------------------------------------------

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upperForm(const std::string& text) {
    std::string out = text;
    for (auto& c : out) c = upper(c);
    return out;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct Found {
    std::string value;
    bool present = false;
};

Found attrOf(const std::string& tag, const std::string& name) {
    const std::string upperTag = upperForm(tag);
    const std::size_t at = upperTag.find(upperForm(name));
    if (at == std::string::npos) return {};
    std::string window = tag.substr(at + name.size(), 255);
    const std::size_t equals = window.find('=');
    if (equals != std::string::npos) window = window.substr(equals + 1);
    const std::size_t open = window.find('"');
    if (open == std::string::npos) return {"", true};
    window = window.substr(open + 1);
    const std::size_t close = window.find('"');
    if (close == std::string::npos) return {"", true};
    return {window.substr(0, close), true};
}

// An optional sign and decimal digits, within 32 bits.
std::optional<long long> integerOf(const std::string& text) {
    std::size_t k = 0;
    bool negative = false;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) negative = text[k++] == '-';
    if (k == text.size() || text.size() - k > 12) return std::nullopt;
    long long value = 0;
    for (; k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9') return std::nullopt;
        value = value * 10 + (text[k] - '0');
    }
    if (negative) value = -value;
    if (value < -2147483648LL || value > 2147483647LL) return std::nullopt;
    return value;
}

long long intAttrOf(const std::string& tag, const std::string& name) {
    return integerOf(attrOf(tag, name).value).value_or(0);
}

struct ModelSlot {
    bool enabled = false;
    bool checked = false;
    std::string caption;
    std::string hint;
};

// What one program run keeps, and what the last read reported.
struct PlaylistModel {
    std::array<std::string, 9> videoAttr, audioAttr, subAttr;
    std::vector<TreeNode> tree{{"Video", {}}, {"Audio", {}}, {"Subpicture", {}}, {"Chapter", {}}};
    Lines tagLines;
    Lines log;
    Lines panel1;
    std::string error;
    ListedTracks marks;
    std::array<ModelSlot, 8> video;
    std::array<ModelSlot, 16> audio;
    std::array<ModelSlot, 16> sub;

    void read(const std::string& bytes, const std::string& evoBase, std::size_t indentCap) {
        tagLines.clear();
        log.clear();
        panel1.clear();
        error.clear();
        for (auto& s : video) s.enabled = false, s.caption = "No video stream";
        for (auto& s : audio) s.enabled = false, s.caption = "No audio stream";
        for (auto& s : sub) s.enabled = false, s.caption = "No subpicture";
        log.push_back("Open VPLST000.XPL");
        log.push_back("Filesize: " + std::to_string(bytes.size()) + " bytes");

        // The scan.
        std::string name;
        std::string vIndex, vCodec, aIndex, aCodec, aChannels, sIndex, sCodec;
        std::string text;
        long long depth = 0;
        bool inTag = false;
        int previous = -1;
        int beforePrevious = -1;
        for (std::size_t pos = 0; pos < bytes.size(); ++pos) {
            const auto c = static_cast<unsigned char>(bytes[pos]);
            if (c == '<') {
                inTag = true;
                depth++;
            }
            if (inTag) {
                if (c >= 32)
                    text += static_cast<char>(c);
                else if (text.empty() || text.back() != ' ')
                    text += ' ';
            }
            if (c == '/' && previous == '<') {
                depth -= 2;
                text.erase(0, 2);
            }
            if (c == '>') {
                inTag = false;
                tagLines.push_back(capped(text, indentCap));
                const std::string line = tagLines.back();
                if (contains(line, "Playlist")) {
                    const Found found = attrOf(line, "displayName");
                    if (found.present) name = found.value;
                }
                if (contains(line, "VideoAttributeItem")) {
                    remember(vIndex, line, "index");
                    remember(vCodec, line, "codec");
                    const auto index = integerOf(vIndex);
                    if (!index) return fail(vIndex);
                    if (*index >= 1 && *index <= 8) videoAttr[*index] = vCodec;
                }
                if (contains(line, "AudioAttributeItem")) {
                    remember(aIndex, line, "index");
                    remember(aCodec, line, "codec");
                    remember(aChannels, line, "channels");
                    const auto index = integerOf(aIndex);
                    if (!index) return fail(aIndex);
                    if (*index >= 1 && *index <= 8)
                        audioAttr[*index] =
                            aChannels.empty() ? aCodec : aCodec + "." + aChannels + "ch";
                }
                if (contains(line, "SubpictureAttributeItem")) {
                    remember(sIndex, line, "index");
                    remember(sCodec, line, "codec");
                    const auto index = integerOf(sIndex);
                    if (!index) return fail(sIndex);
                    if (*index >= 1 && *index <= 8) subAttr[*index] = sCodec;
                }
                text.clear();
                if (previous == '/') depth--;
                if (previous == '?') depth--;
                if (beforePrevious == '-' && previous == '-') depth--;
                for (long long level = 0; level < depth; level++) text += "  ";
            }
            beforePrevious = previous;
            previous = c;
            if ((pos + 1) % 32768 == 0 || pos + 1 == bytes.size())
                panel1.push_back(std::to_string(pos + 1) + "/" + std::to_string(bytes.size()) +
                                 " bytes");
        }

        marks = {};

        // The title.
        std::size_t clip = 0;
        while (!evoBase.empty() && clip < tagLines.size() && !contains(tagLines[clip], evoBase))
            clip++;
        if (!evoBase.empty() && clip < tagLines.size() && clip > 0) {
            std::size_t top = 0;
            for (std::size_t k = clip; k-- > 0;) {
                if (contains(upperForm(tagLines[k]), "<TITLE ")) {
                    top = k;
                    break;
                }
            }
            tagLines.erase(tagLines.begin(), tagLines.begin() + static_cast<long>(top));
            for (std::size_t k = 1; k < tagLines.size(); k++) {
                if (contains(upperForm(tagLines[k]), "</TITLE")) {
                    tagLines.resize(k + 1);
                    break;
                }
            }
            buildTree(name);
        }
        log.push_back("Done.");
        panel1.push_back("");
    }

  private:
    static std::string capped(const std::string& line, std::size_t indentCap) {
        std::size_t blanks = 0;
        while (blanks < line.size() && line[blanks] == ' ') blanks++;
        return blanks <= 2 * indentCap ? line : line.substr(blanks - 2 * indentCap);
    }

    static void remember(std::string& memory, const std::string& line, const char* name) {
        const Found found = attrOf(line, name);
        if (found.present) memory = found.value;
    }

    // The conversion error ends the read where it stands: the blocks before the one in hand
    // were reported, and nothing else is.
    void fail(const std::string& value) { error = "'" + value + "' is not a valid integer value"; }

    void buildTree(const std::string& name) {
        tree = {{"Info", {}}, {"Video", {}}, {"Audio", {}}, {"Subtitle", {}}, {"Chapter", {}}};
        if (!name.empty()) tree[0].children.push_back({"Title: " + name, {}});
        for (const auto& line : tagLines) {
            const std::string u = upperForm(line);
            if (contains(u, "<TITLE ")) {
                tree[0].children.push_back({"Name: " + attrOf(line, "displayName").value, {}});
                tree[0].children.push_back(
                    {"Duration: " + attrOf(line, "titleDuration").value, {}});
            }
            if (contains(u, "<VIDEO ")) {
                const long long t = intAttrOf(line, "track");
                if (t >= 1 && t <= 16 && !marks.video[t - 1]) {
                    marks.video[t - 1] = true;
                    const std::string entry = tableText(videoAttr, intAttrOf(line, "mediaAttr")) +
                                              ".stream." + std::to_string(t - 1);
                    tree[1].children.push_back({entry, {}});
                    log.push_back(entry + " found!");
                    if (t == 1) video[0] = {true, true, entry, video[0].hint};
                }
            }
            if (contains(u, "<AUDIO ")) listStream(line, marks.audio, audioAttr, 2, audio);
            if (contains(u, "<SUBTITLE ")) listStream(line, marks.subtitles, subAttr, 3, sub);
            if (contains(u, "<CHAPTER "))
                tree[4].children.push_back({attrOf(line, "titleTimeBegin").value + ": " +
                                                attrOf(line, "displayName").value,
                                            {}});
        }
    }

    template <typename Ids>
    void listStream(const std::string& line, Ids& ids, const std::array<std::string, 9>& table,
                    int node, std::array<ModelSlot, 16>& slots) {
        const long long s = intAttrOf(line, "streamNumber");
        if (s < 1 || s > 16 || ids[s - 1]) return;
        ids[s - 1] = true;
        const std::string number = (s - 1 < 10 ? "0" : "") + std::to_string(s - 1);
        const std::string entry = tableText(table, intAttrOf(line, "mediaAttr")) + ".stream." +
                                  number + "." + attrOf(line, "description").value;
        tree[node].children.push_back({entry, {}});
        log.push_back(entry + " found!");
        slots[s - 1] = {true, true, entry, entry};
    }

    static std::string tableText(const std::array<std::string, 9>& table, long long index) {
        return index >= 1 && index <= 8 ? table[index] : "";
    }
};

// ---- Random playlists --------------------------------------------------------------------

class Writer {
  public:
    explicit Writer(std::uint32_t seed) : random_(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[static_cast<std::size_t>(below(static_cast<int>(items.size())))];
    }

    std::string playlist() {
        std::string out;
        if (chance(80)) out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        if (chance(40)) out += "<!-- " + words() + " -->\n";
        out += "<Playlist" + attribute("displayName", words()) + ">\n" + noise();
        out += "<MediaAttributeList>\n";
        for (int k = below(8); k > 0; --k) out += item() + noise();
        out += "</MediaAttributeList>\n<TitleSet>\n";
        for (int t = 1 + below(4); t > 0; --t) out += title() + noise();
        out += "</TitleSet>\n";
        if (chance(80)) out += "</Playlist>\n";
        if (chance(10)) out = soup(50 + below(400)) + out;
        if (chance(10)) out += soup(50 + below(400));
        if (chance(15)) acrossTheBlockBoundary(out);
        return out;
    }

    std::string soup(int tokens) {
        static const std::vector<std::string> kTokens = {
            "<",
            ">",
            "/",
            "?",
            "-",
            "--",
            "<!--",
            "-->",
            "<?",
            "?>",
            "/>",
            "</",
            "\"",
            "'",
            "=",
            " ",
            "\t",
            "\r\n",
            std::string(1, '\x01'),
            std::string(1, '\0'),
            "\x1f",
            "\xe9",
            "\xff",
            "Title",
            "<Title ",
            "</Title>",
            "TITLE",
            "<title\n",
            "FEATURE_1",
            "FEATURE_10",
            "Playlist",
            " displayName=\"X\"",
            "<Video track=\"1\" mediaAttr=\"1\"/>",
            "<Audio streamNumber=\"3\" mediaAttr=\"2\" description=\"d\"/>",
            "<Subtitle streamNumber=\"2\"/>",
            "<Chapter titleTimeBegin=\"t\" displayName=\"c\"/>",
            "<VideoAttributeItem index=\"1\" codec=\"V\"/>",
            "AudioAttributeItem",
            "channels",
            "index=\"",
            "abc",
            "x",
            "<a>",
            "</a>",
            "<b/>",
            "<!DOCTYPE x>",
            "<![CDATA[ y ]]>"};
        std::string out;
        for (int k = 0; k < tokens; ++k) out += pick(kTokens);
        return out;
    }

  private:
    std::string words() {
        static const std::vector<std::string> kWords = {
            "Main",  "Feature", "English",           "Dolby", "a > b", "x/y", "Ch 1", "",
            "don't", "t\tab",   "\xc3\xa9t\xc3\xa9", "--",    "<em>",  "?",   "99"};
        std::string out = pick(kWords);
        if (chance(20)) out += " " + pick(kWords);
        if (chance(8)) out = std::string(static_cast<std::size_t>(245 + below(16)), 'w');
        return out;
    }

    std::string separator() {
        static const std::vector<std::string> kSeparators = {" ",      " ",  " ",  "\n\t",
                                                             "\r\n  ", "  ", "\t", " \x01 "};
        return pick(kSeparators);
    }

    // One attribute, mostly as authoring tools write it, sometimes not.
    std::string attribute(const std::string& name, const std::string& value) {
        const int form = below(100);
        if (form < 6) return "";
        std::string written = name;
        if (form < 10) written = upperForm(name);
        const std::string sep = separator();
        if (form < 14) return sep + written + "='" + value + "'";
        if (form < 18) return sep + written + " = \"" + value + "\"";
        if (form < 21) return sep + written + "=" + value;
        if (form < 23) return sep + written + "=\"" + value;               // never closed
        if (form < 26) return sep + "x" + written + "=\"" + value + "\"";  // inside a longer name
        if (form < 29) return sep + written + "=\"\"";
        return sep + written + "=\"" + value + "\"";
    }

    std::string number(int low, int high) {
        static const std::vector<std::string> kOdd = {
            "0",          "-1",          "+2",          "abc", "",    " 3",  "3 ", "2147483647",
            "2147483648", "-2147483648", "99999999999", "1e1", "0x1", "--1", "+",  "017"};
        if (chance(85)) return std::to_string(low + below(high - low + 1));
        return pick(kOdd);
    }

    std::string element(const std::string& name, const std::string& attributes) {
        std::string open = "<" + name;
        if (chance(3)) open = "<" + upperForm(name);
        if (chance(3)) open = "<" + name + "\r\n";
        if (chance(70)) return open + attributes + (chance(80) ? "/>" : " />") + "\n";
        return open + attributes + ">" + (chance(30) ? words() : "") + "</" + name + ">\n";
    }

    std::string item() {
        static const std::vector<std::string> kKinds = {"VideoAttributeItem", "AudioAttributeItem",
                                                        "SubpictureAttributeItem"};
        const std::string kind = pick(kKinds);
        std::string attributes = attribute("index", number(0, 9));
        // Mostly a valid index, or the conversion error ends most reads early.
        if (chance(85)) attributes = " index=\"" + std::to_string(1 + below(8)) + "\"";
        attributes += attribute(
            "codec", pick(std::vector<std::string>{"VC-1", "DD+", "DTS-HD", "2bitRLC", "", "MLP"}));
        if (kind == "AudioAttributeItem") attributes += attribute("channels", number(1, 8));
        return element(kind, attributes);
    }

    std::string track(const std::string& kind) {
        std::string attributes;
        if (kind == "Video") {
            attributes += attribute("track", number(1, 3));
        } else {
            attributes += attribute("track", number(1, 3));
            attributes += attribute("streamNumber", number(0, 17));
        }
        attributes += attribute("mediaAttr", number(0, 9));
        if (kind != "Video") attributes += attribute("description", words());
        return element(kind, attributes);
    }

    std::string title() {
        static const std::vector<std::string> kClips = {"FEATURE_1", "FEATURE_1", "FEATURE_10",
                                                        "FEATURE_2", "feature_1", "TRAILER"};
        std::string out =
            chance(90) ? "<Title"
                       : pick(std::vector<std::string>{"<TITLE", "<title", "<Titles", "<Title\t"});
        out += attribute("id", "t" + std::to_string(below(9)));
        out += attribute("displayName", words());
        out += attribute("titleDuration", "00:0" + std::to_string(below(9)) + ":00:00");
        out += ">\n" + noise();
        for (int c = 1 + below(2); c > 0; --c) {
            out += "<PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/" + pick(kClips) +
                   ".MAP\">\n";
            for (int k = below(6); k > 0; --k)
                out +=
                    track(pick(std::vector<std::string>{"Video", "Audio", "Audio", "Subtitle"})) +
                    noise();
            out += "</PrimaryAudioVideoClip>\n";
        }
        if (chance(70)) {
            out += "<ChapterList>\n";
            for (int k = below(4); k > 0; --k)
                out += element("Chapter",
                               attribute("titleTimeBegin", "00:00:0" + std::to_string(k) + ":00") +
                                   attribute("displayName", words()));
            out += "</ChapterList>\n";
        }
        return out + (chance(92) ? "</Title>\n" : "</title>\n");
    }

    std::string noise() {
        if (!chance(12)) return "";
        static const std::vector<std::string> kNoise = {">",
                                                        "<",
                                                        " > ",
                                                        "a/>",
                                                        "x-->",
                                                        "?>",
                                                        "<a>",
                                                        "</b>",
                                                        "<!DOCTYPE x>",
                                                        "<![CDATA[ a ]]>",
                                                        "<!-- c -->",
                                                        "<?pi x?>",
                                                        "<\n>",
                                                        "</>",
                                                        "<TitleX y=\"1\">",
                                                        "\x01\x02",
                                                        "text",
                                                        "<Titles a=\"1\"/>",
                                                        "</TITLE>",
                                                        "<!---->",
                                                        "<-->"};
        return pick(kNoise);
    }

    // Padding before a random "<" so that its tag straddles the first block boundary.
    void acrossTheBlockBoundary(std::string& text) {
        std::vector<std::size_t> opens;
        for (std::size_t k = 0; k < text.size(); ++k)
            if (text[k] == '<') opens.push_back(k);
        if (opens.empty()) return;
        const std::size_t at = pick(opens);
        const std::size_t target = 32768 - 1 - static_cast<std::size_t>(below(12));
        if (at >= target) return;
        text.insert(at, std::string(target - at, chance(50) ? '\n' : ' '));
    }

    std::mt19937 random_;
};

// ---- The comparison ----------------------------------------------------------------------

std::string render(const std::vector<TreeNode>& nodes, int depth = 0) {
    std::string out;
    for (const auto& node : nodes)
        out += std::string(2 * depth, ' ') + node.text + "\n" + render(node.children, depth + 1);
    return out;
}

class ReadXplModelTest : public ::testing::Test {
  protected:
    ReadXplModelTest() {
        std::filesystem::create_directories(dir.path() / "HVDVD_TS");
        std::filesystem::create_directories(dir.path() / "ADV_OBJ");
    }

    // A fresh program run: state, selection, playlist and the model's counterparts.
    void startRun(Writer& writer) {
        state = std::make_unique<EngineState>();
        selection = std::make_unique<StreamSelection>();
        playlist = std::make_unique<PlaylistState>();
        model = PlaylistModel{};
        // Slots and table as an earlier Read EVO or clicks may have left them.
        for (int n = 0; n < 16; ++n) {
            state->streamTable.AudioIds[n] = writer.chance(30) ? 0xC0 + n : -1;
            state->streamTable.SubIds[n] = writer.chance(30) ? 0x20 + n : -1;
        }
        state->streamTable.VideoIds[0] = writer.chance(50) ? 0x55 : -1;
        selection->FillFromStreamTable(state->streamTable);
        for (int n = 0; n < 16; ++n)
            if (writer.chance(20)) selection->click(SlotKind::Audio, n);
    }

    void chooseEvo(const std::string& evoName) {
        input = InputChoice{};
        if (evoName.empty())
            input.chooseXpl(dir.file("ADV_OBJ/VPLST000.XPL"), host);
        else
            input.chooseEvo(dir.file("HVDVD_TS/" + evoName), host);
    }

    // One read by the product and by the model, compared in every respect.
    void readBoth(const std::string& text) {
        testing::writeFile(dir.file("ADV_OBJ/VPLST000.XPL"),
                           std::vector<std::uint8_t>(text.begin(), text.end()));
        const StreamTable tableBefore = state->streamTable;
        for (int n = 0; n < 8; ++n) copySlot(model.video[n], SlotKind::Video, n);
        for (int n = 0; n < 16; ++n) copySlot(model.audio[n], SlotKind::Audio, n);
        for (int n = 0; n < 16; ++n) copySlot(model.sub[n], SlotKind::Subpicture, n);
        model.marks = playlist->listed;
        // Every input here is small enough for the indentation budget: the lines are literal.
        model.read(text, input.EVObase, std::string::npos / 4);

        RecordingSink sink;
        JobContext job{*state, *selection, input, sink, host};
        std::string error;
        try {
            bReadXPLClick(job, *playlist);
        } catch (const JobError& e) {
            error = e.what();
        }

        ASSERT_EQ(error, model.error);
        ASSERT_EQ(playlist->tagLines, model.tagLines);
        ASSERT_EQ(sink.lines, model.log);
        ASSERT_EQ(sink.statusTexts(1), model.panel1);
        ASSERT_EQ(sink.statusTexts(0), error.empty() ? Lines{"Ready"} : Lines{});
        ASSERT_EQ(render(playlist->tree), render(model.tree));
        ASSERT_EQ(playlist->listed, model.marks);
        ASSERT_EQ(state->streamTable, tableBefore);  // the playlist never touches the codes
        for (int i = 1; i <= 8; ++i) {
            ASSERT_EQ(playlist->VideoAttr[i], model.videoAttr[i]) << i;
            ASSERT_EQ(playlist->AudioAttr[i], model.audioAttr[i]) << i;
            ASSERT_EQ(playlist->SubAttr[i], model.subAttr[i]) << i;
        }
        for (int n = 0; n < 8; ++n) expectSlot(model.video[n], SlotKind::Video, n);
        for (int n = 0; n < 16; ++n) expectSlot(model.audio[n], SlotKind::Audio, n);
        for (int n = 0; n < 16; ++n) expectSlot(model.sub[n], SlotKind::Subpicture, n);
        ASSERT_FALSE(state->InFile.isOpen());
    }

    void copySlot(ModelSlot& to, SlotKind kind, int n) const {
        const auto& slot = selection->slot(kind, n);
        to = {slot.Enabled, slot.Checked, slot.Caption, slot.Hint};
    }

    void expectSlot(const ModelSlot& expected, SlotKind kind, int n) const {
        const auto& slot = selection->slot(kind, n);
        EXPECT_EQ(slot.Enabled, expected.enabled) << static_cast<int>(kind) << " " << n;
        EXPECT_EQ(slot.Checked, expected.checked) << static_cast<int>(kind) << " " << n;
        EXPECT_EQ(slot.Caption, expected.caption) << static_cast<int>(kind) << " " << n;
        EXPECT_EQ(slot.Hint, expected.hint) << static_cast<int>(kind) << " " << n;
    }

    testing::TempDir dir;
    BasicHost host;
    InputChoice input;
    std::unique_ptr<EngineState> state;
    std::unique_ptr<StreamSelection> selection;
    std::unique_ptr<PlaylistState> playlist;
    PlaylistModel model;
};

TEST_F(ReadXplModelTest, RandomPlaylistsReadAfterRead) {
    Writer writer(31337);
    const std::vector<std::string> evoNames = {
        "FEATURE_1.EVO", "FEATURE_1.EVO", "FEATURE_10.EVO", "feature_1.EVO", "",
        "X.EVO",         "Title.EVO"};
    for (int run = 0; run < 120; ++run) {
        startRun(writer);
        for (int read = 1 + writer.below(4); read > 0; --read) {
            SCOPED_TRACE(::testing::Message() << "run " << run << ", read " << read);
            chooseEvo(writer.pick(evoNames));
            readBoth(writer.playlist());
            if (HasFatalFailure()) return;
        }
    }
}

TEST_F(ReadXplModelTest, ByteSoup) {
    Writer writer(4711);
    for (int run = 0; run < 300; ++run) {
        SCOPED_TRACE(::testing::Message() << "run " << run);
        startRun(writer);
        chooseEvo(writer.chance(70) ? "FEATURE_1.EVO" : "");
        readBoth(writer.soup(1 + writer.below(300)));
        if (HasFatalFailure()) return;
    }
}

TEST_F(ReadXplModelTest, NestingDeeperThanTheIndentationCap) {
    // Unclosed elements, closing tags and stray brackets around and beyond the cap.
    Writer writer(2718);
    for (int run = 0; run < 60; ++run) {
        SCOPED_TRACE(::testing::Message() << "run " << run);
        startRun(writer);
        chooseEvo("FEATURE_1.EVO");
        std::string text;
        const int levels = static_cast<int>(kMaxIndentLevels) - 4 + writer.below(40);
        for (int k = 0; k < levels; ++k) text += writer.chance(80) ? "<a>" : "<b x=\"<\">";
        text += writer.soup(40);
        text +=
            "<Title displayName=\"Deep\"><Clip src=\"FEATURE_1.MAP\"/><Audio streamNumber=\"1\"/>";
        for (int k = writer.below(levels + 4); k > 0; --k)
            text += writer.chance(85) ? "</a>" : writer.chance(50) ? ">" : "</";
        text += "</Title>" + writer.soup(20);
        readBoth(text);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace tarnwell
