#pragma once
// A subpicture bitmap as PGS object code: each line ends with 00 00; colour 0 runs and other
// runs take the shortest of the 1- to 4-byte forms. Made from a drawn bitmap, or straight from
// a unit's run-length code without drawing it (the HD form's codes read through hdRunCode).

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "formats/subpicture_decoder.h"

namespace tarnwell {

// The code of the drawn bitmap of `image`.
std::vector<std::uint8_t> pgsRunLength(const SubpictureImage& image);
// The same code straight from the runs of the unit whose layout `image` holds (its pixels
// need not be drawn); nothing when the runs pass the unit's end.
std::optional<std::vector<std::uint8_t>> pgsRunLength(std::span<const std::uint8_t> unit,
                                                      const SubpictureImage& image);
// The same into `out` (its bytes replaced, its room kept for the next unit); false when the
// runs pass the unit's end.
bool pgsRunLength(std::span<const std::uint8_t> unit, const SubpictureImage& image,
                  std::vector<std::uint8_t>& out);

}  // namespace tarnwell
