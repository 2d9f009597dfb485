#pragma once
// The document `read --json` prints: what one Read EVO found, under field names that stay as
// they are (new fields may be added, none renamed or dropped).

#include <array>
#include <cstdint>
#include <string>

#include "engine/scan_result.h"
#include "selection/stream_selection.h"

namespace tarnwell::cli {

// The codec's short name from the code the scan found: "MPEG-2", "H.264", "VC-1"; "DD",
// "DTS-HD", "DD+", "LPCM", "MLP"; "Subpicture", "Ext.Subpicture". Empty for an unknown code.
std::string codecName(SlotKind kind, std::int32_t code);

// The whole document, indented by two, ending in a newline. Bytes of `file` or of a caption
// that are not UTF-8 come out as U+FFFD rather than failing the job. A stream that no slot
// holds (a subpicture stream numbered 16 or more) is listed with a null slot and caption.
std::string readJsonText(const std::string& file, const ScanResult& scan,
                         const std::array<std::int32_t, kVideoOutputs>& frameCounts,
                         const StreamSelection& selection);

}  // namespace tarnwell::cli
