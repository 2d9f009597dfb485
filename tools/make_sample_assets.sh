#!/usr/bin/env bash
# Makes the coded streams of the sample disc once, with the encoders of Debian's ffmpeg
# package (ffmpeg 5.1 in Debian 12; the font is fonts-dejavu-core's DejaVu Sans). The files
# are kept in tools/sample/assets/ and built into tarnwell-sample, which lays them into EVO
# packs: nothing is encoded when the sample disc is written. Run from the repository root
# after changing this script, then commit the assets it wrote.
#
#   feature.h264  the feature, 40 s: H.264 High profile level 4.1, 1920x1080, 24 frames a
#                 second, an IDR frame every 48 frames (so that the second file's first frame,
#                 frame 576, is one), no B-frames (decode order is display order), access unit
#                 delimiters (the frames the reader counts)
#   feature.eac3  its English track: E-AC-3 5.1, 48 kHz, 96 kbit/s, a beep each second
#   trailer.m2v   the trailer, 5 s, and bonus.m2v, the bonus title, 6 s: MPEG-2 Main profile
#   bonus.m2v     High level, 1920x1080, 24 frames a second, quantiser 14, a group of 24
#                 pictures, no B-frames
#   trailer.ac3   their English tracks: AC-3 stereo, 48 kHz, 96 kbit/s, beeps
#   bonus.ac3
# The feature's commentary (LPCM) is not coded: tarnwell-sample computes its samples.
set -euo pipefail
out=tools/sample/assets
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
mkdir -p "$out"

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# A card: the disc's name, the title's name, the time in the title and a bar that moves, on
# a plain background (plain areas cost next to nothing to code). Extra drawtext filters
# follow in $3.
card() {  # card SECONDS TITLE [FILTERS]
  local text="fontfile=$font:fontcolor=white:x=(w-text_w)/2"
  echo "color=c=0x1b263b:s=1920x1080:r=24:d=$1[card];color=c=0xe0a030:s=240x40:r=24:d=$1[bar];
[card][bar]overlay=x='mod(t*320\,1920)':y=620,format=yuv420p,
drawtext=$text:fontsize=64:y=180:text='TARNWELL SAMPLE DISC',
drawtext=$text:fontsize=112:y=300:text='$2',
drawtext=$text:fontsize=56:y=500:text='%{pts\:hms}'${3:+,$3}"
}

chapter() {  # chapter FROM TO NAME: the chapter's name while it plays
  echo "drawtext=fontfile=$font:fontcolor=0xa8dadc:fontsize=56:x=(w-text_w)/2:y=720:text='$3':enable='between(t\,$1\,$2)'"
}

beeps() {  # beeps SECONDS HZ: a beep of a quarter second at the start of each second
  echo "aevalsrc=0.25*sin(2*PI*$2*t)*lt(mod(t\,1)\,0.25):s=48000:d=$1"
}

chapters="$(chapter 0 9.99 'Opening Titles'),$(chapter 10 18.49 'The Harbour'),\
$(chapter 18.5 23.99 'Night Crossing'),$(chapter 24 29.99 'Second Reel'),\
$(chapter 30 35.99 'Homecoming'),$(chapter 36 40 'End Credits')"

ff -f lavfi -i "$(card 40 Feature "$chapters")" -c:v libx264 -preset medium -profile:v high \
  -level:v 4.1 -crf 30 -g 48 -keyint_min 48 -sc_threshold 0 -bf 0 -x264-params aud=1 \
  -fflags +bitexact -f h264 "$out/feature.h264"
ff -f lavfi -i "$(beeps 40 440)" -af "pan=5.1|FL=c0|FR=c0|FC=c0|LFE=c0|BL=c0|BR=c0" \
  -c:a eac3 -b:a 96k -fflags +bitexact -f eac3 "$out/feature.eac3"
for title in "trailer 5 Theatrical Trailer 330" "bonus 6 Behind the Scenes 550"; do
  read -r name seconds words <<<"$title"
  hz=${words##* } words=${words% *}
  ff -f lavfi -i "$(card "$seconds" "$words")" -c:v mpeg2video -profile:v main -level:v high \
    -q:v 14 -g 24 -bf 0 -fflags +bitexact -flags:v +bitexact -f mpeg2video "$out/$name.m2v"
  ff -f lavfi -i "$(beeps "$seconds" "$hz")" -ac 2 -c:a ac3 -b:a 96k -fflags +bitexact \
    -f ac3 "$out/$name.ac3"
done
ls -l "$out"
