#pragma once
// The playlist views as text files: the tag lines of the XPL tab's text view, and its tree with
// one node per line, each level below the top indented by two more blanks.

#include <string>
#include <vector>

#include "playlist/playlist_state.h"

namespace tarnwell::cli {

// Every line ends in a newline; an empty list gives an empty text.
std::string tagLinesText(const std::vector<std::string>& tagLines);
std::string treeText(const std::vector<TreeNode>& tree);

// Writes a text file through the file layer, so its errors read like the jobs' errors.
void writeTextFile(const std::string& path, const std::string& text);

}  // namespace tarnwell::cli
