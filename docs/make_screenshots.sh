#!/usr/bin/env bash
# Makes the user guide's screenshots: writes the sample disc, then runs the real window under
# Xvfb through the screenshot tour, which reads the disc and grabs the screen after each step.
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
