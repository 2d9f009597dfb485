#!/usr/bin/env bash
# Makes the user guide's screenshots: writes the sample disc, then runs the real window under
# Xvfb through the screenshot tour, which reads the disc and grabs the screen after each step;
# last, takes the sample feature to MKV and has ffmpeg draw a frame of it with its English
# subtitle on it (frame 60, 2.5 s in), at half size.
# Run from the repository root after a build (tools/dev build).
set -euo pipefail
disc=/tmp/sample-disc
if [ -e "$disc" ]; then
  echo "$disc is in the way" >&2
  exit 1
fi
trap 'rm -rf "$disc"' EXIT
build/bin/tarnwell-sample "$disc"
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" build/bin/app_screenshot_tour "$disc" docs
mkdir "$disc/mkv"
build/bin/tarnwell-cli demux --mkv --xpl "$disc/ADV_OBJ/VPLST000.XPL" -o "$disc/mkv" \
  "$disc/HVDVD_TS/FEATURE_1.EVO" >/dev/null
ffmpeg -nostdin -v error -y -i "$disc/mkv/FEATURE_1_2.mkv" \
  -filter_complex "[0:v][0:s:0]overlay,select='eq(n\,60)',scale=960:540" -frames:v 1 \
  docs/sample-feature-subtitle.png
echo docs/sample-feature-subtitle.png
