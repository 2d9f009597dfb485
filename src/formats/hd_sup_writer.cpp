#include "formats/hd_sup_writer.h"

#include <array>
#include <utility>

namespace tarnwell {

HdSupWriter::HdSupWriter(OutputFile& out, std::string streamName, SubpictureAssembler::LogSink log)
    : out_(out), streamName_(std::move(streamName)), log_(std::move(log)) {}

void HdSupWriter::write(const SubpictureUnit& unit) {
    if (!decodeForOutput(unit, streamName_, log_, BitmapWork::Check)) return;
    const auto pts = static_cast<std::uint32_t>(unit.pts);
    const std::array<std::uint8_t, 10> header{0x53,
                                              0x50,
                                              static_cast<std::uint8_t>(pts),
                                              static_cast<std::uint8_t>(pts >> 8),
                                              static_cast<std::uint8_t>(pts >> 16),
                                              static_cast<std::uint8_t>(pts >> 24),
                                              0,
                                              0,
                                              0,
                                              0};
    out_.write(header.data(), header.size());
    out_.write(unit.bytes.data(), unit.bytes.size());
}

}  // namespace tarnwell
