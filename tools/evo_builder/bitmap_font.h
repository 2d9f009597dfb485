#pragma once
// Draws a line of text for subpicture fixtures: a 5x7 capital font (lower case is drawn in
// capitals; characters outside the font as blanks), each dot `scale` pixels square, in colour 1
// with a border of colour 2 around the strokes, on colour 0.

#include <string_view>

#include "evo_builder.h"

namespace tarnwell::fixture {

struct TextPicture {
    int width = 0, height = 0;
    Bytes pixels;  // width*height colour values, line by line
};

TextPicture drawText(std::string_view text, int scale);

}  // namespace tarnwell::fixture
