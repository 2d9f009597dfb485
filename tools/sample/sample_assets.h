#pragma once
// The coded streams of the sample disc (tools/make_sample_assets.sh makes them), built into
// tarnwell-sample.

#include <cstdint>
#include <span>
#include <string_view>

namespace tarnwell::sample {

// The bytes of the asset file of that name (e.g. "feature.h264"); throws for an unknown name.
std::span<const std::uint8_t> sampleAsset(std::string_view name);

}  // namespace tarnwell::sample
