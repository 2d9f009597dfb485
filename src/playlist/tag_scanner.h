#pragma once
// The one-pass scan that cuts playlist text into tag lines, indented two blanks per level of
// nesting, without an XML parser. The state carries over from one block to the next, so the
// text may be fed in pieces of any size.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "io/file_io.h"
#include "io/report_sink.h"

namespace tarnwell {

// Malformed text that only opens tags would give lines whose total length grows with the
// square of its size. So the blanks of levels beyond this depth are written only as long as
// they stay within a budget; once it is spent, indentation stops growing at this depth for the
// rest of the read. Capped lines are written as the uncapped rules would write them, less the
// blanks beyond the cap, so a closing tag still stands at its opening tag's indentation.
inline constexpr std::int64_t kMaxIndentLevels = 32;

// The budget of blanks beyond the cap for a file of `fileSize` bytes: every real playlist
// is indented to the letter, while the tag lines of any text stay within a few times its size.
constexpr std::int64_t indentBudgetFor(std::int64_t fileSize) {
    return 2 * fileSize + (std::int64_t{4} << 20);
}

class TagScanner {
  public:
    // Receives each finished tag line; the scan goes on with an empty tag text afterwards.
    using TagHandler = std::function<void(std::string&& line)>;

    // `indentBudget`: blanks beyond kMaxIndentLevels that may be written in all.
    explicit TagScanner(TagHandler onTag, std::int64_t indentBudget = 0)
        : onTag_(std::move(onTag)), indentBudget_(indentBudget) {}

    void feed(std::span<const std::uint8_t> bytes);

    std::int64_t depth() const { return depth_; }
    bool inTag() const { return inTag_; }

  private:
    void endTag();

    TagHandler onTag_;
    std::string tagText_;
    std::int64_t depth_ = 0;
    // Blanks of the current indentation that the cap kept out of the tag text.
    std::int64_t unwrittenIndent_ = 0;
    std::int64_t indentBudget_;
    bool capped_ = false;
    bool inTag_ = false;
    // The two bytes before the current one; 0 stands for none, which matches no rule.
    std::uint8_t previous_ = 0;
    std::uint8_t beforePrevious_ = 0;
};

// Reads the open file from its position to its size in blocks of the buffer's size, feeds
// every block to the scanner and sets status panel 1 to "<position>/<size> bytes" after each.
void scanTagFile(InputFile& file, std::span<std::uint8_t> buffer, TagScanner& scanner,
                 ReportSink& sink);

}  // namespace tarnwell
