#include "playlist/tag_scanner.h"

#include <algorithm>
#include <string_view>

namespace tarnwell {

namespace {

constexpr std::string_view kIndentUnit = "  ";

}  // namespace

void TagScanner::feed(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t c : bytes) {
        // Each rule tests the byte afresh: a "<" both opens a tag and is its first character.
        if (c == '<') {
            inTag_ = true;
            ++depth_;
        }
        if (inTag_) {
            if (c >= 32)
                tagText_.push_back(static_cast<char>(c));
            else if (tagText_.empty() || tagText_.back() != ' ')
                tagText_.push_back(' ');
        }
        if (c == '/' && previous_ == '<') {
            // A closing tag stands one level left of its content.
            depth_ -= 2;
            const auto unit = static_cast<std::int64_t>(kIndentUnit.size());
            if (unwrittenIndent_ >= unit)
                unwrittenIndent_ -= unit;
            else
                tagText_.erase(0, kIndentUnit.size());
        }
        if (c == '>') endTag();
        beforePrevious_ = previous_;
        previous_ = c;
    }
}

void TagScanner::endTag() {
    inTag_ = false;
    std::string line = std::move(tagText_);
    tagText_.clear();
    onTag_(std::move(line));
    // Empty elements, processing instructions and comments leave the depth as it was.
    if (previous_ == '/') --depth_;
    if (previous_ == '?') --depth_;
    if (beforePrevious_ == '-' && previous_ == '-') --depth_;
    const auto levels = std::max<std::int64_t>(depth_, 0);
    const auto beyondCap = 2 * (levels - kMaxIndentLevels);
    if (beyondCap > 0 && !capped_) {
        if (beyondCap <= indentBudget_)
            indentBudget_ -= beyondCap;
        else
            capped_ = true;
    }
    const auto written = capped_ ? std::min(levels, kMaxIndentLevels) : levels;
    for (std::int64_t level = 0; level < written; ++level) tagText_ += kIndentUnit;
    unwrittenIndent_ = (levels - written) * static_cast<std::int64_t>(kIndentUnit.size());
}

void scanTagFile(InputFile& file, std::span<std::uint8_t> buffer, TagScanner& scanner,
                 ReportSink& sink) {
    const std::int64_t size = file.size();
    const auto blockSize = static_cast<std::int64_t>(buffer.size());
    while (file.position() < size) {
        const auto wanted = std::min(blockSize, size - file.position());
        const auto got = file.read(buffer.data(), wanted);
        // A file that shrank since it was opened ends the scan where its bytes end.
        if (got <= 0) break;
        scanner.feed(buffer.first(static_cast<std::size_t>(got)));
        sink.slog(std::to_string(file.position()) + "/" + std::to_string(size) + " bytes", 1);
    }
}

}  // namespace tarnwell
