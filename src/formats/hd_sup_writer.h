#pragma once
// The HD-DVD SUP form of a subpicture stream: per unit in stream order, "SP", the low 32 bits
// of the unit's PTS little-endian, four zero bytes, then the unit's bytes as they stood in the
// stream. Units that cannot be decoded are left out (and logged), so every record is readable.

#include <string>
#include <string_view>

#include "io/file_io.h"
#include "formats/subpicture_unit.h"

namespace tarnwell {

class HdSupWriter {
  public:
    HdSupWriter(OutputFile& out, std::string streamName, SubpictureAssembler::LogSink log);
    void write(const SubpictureUnit& unit);

  private:
    OutputFile& out_;
    std::string streamName_;
    SubpictureAssembler::LogSink log_;
};

}  // namespace tarnwell
