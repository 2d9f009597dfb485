#include "cli/playlist_export.h"

#include "io/file_io.h"

namespace tarnwell::cli {

namespace {

void appendNodes(std::string& text, const std::vector<TreeNode>& nodes, std::size_t depth) {
    for (const auto& node : nodes) {
        text.append(2 * depth, ' ');
        text += node.text;
        text += '\n';
        appendNodes(text, node.children, depth + 1);
    }
}

}  // namespace

std::string tagLinesText(const std::vector<std::string>& tagLines) {
    std::string text;
    for (const auto& line : tagLines) {
        text += line;
        text += '\n';
    }
    return text;
}

std::string treeText(const std::vector<TreeNode>& tree) {
    std::string text;
    appendNodes(text, tree, 0);
    return text;
}

void writeTextFile(const std::string& path, const std::string& text) {
    OutputFile file;
    file.create(path);
    try {
        file.write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    } catch (...) {
        file.closeQuietly();
        throw;
    }
    file.close();
}

}  // namespace tarnwell::cli
