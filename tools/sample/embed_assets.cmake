# cmake -DOUT=file.cpp -DASSETS="a|b" -P embed_assets.cmake: the sample's coded streams as C++
# arrays, so that tarnwell-sample needs no file at run time (built or installed alike).
set(_body "")
set(_table "")
set(_n 0)
string(REPLACE "|" ";" _assets "${ASSETS}")
foreach(_asset ${_assets})
  file(READ ${_asset} _hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" _bytes "${_bytes}")
  get_filename_component(_name ${_asset} NAME)
  string(APPEND _body "const std::uint8_t kAsset${_n}[] = {\n${_bytes}};\n")
  string(APPEND _table "    {\"${_name}\", kAsset${_n}},\n")
  math(EXPR _n "${_n} + 1")
endforeach()
file(WRITE ${OUT} "// Written by tools/sample/embed_assets.cmake from tools/sample/assets.
#include \"sample_assets.h\"

#include <stdexcept>
#include <string>

namespace tarnwell::sample {
namespace {
${_body}
struct Asset {
    std::string_view name;
    std::span<const std::uint8_t> bytes;
};
const Asset kAssets[] = {
${_table}};
}  // namespace

std::span<const std::uint8_t> sampleAsset(std::string_view name) {
    for (const auto& asset : kAssets)
        if (asset.name == name) return asset.bytes;
    throw std::invalid_argument(\"no sample asset \" + std::string(name));
}

}  // namespace tarnwell::sample
")
