#pragma once
// Clip EVO files for the title tests, laid out with the fixture builder: VC-1 video at 24
// frames a second and E-AC-3 audio (made once by ffmpeg; callers skip without it), both with a
// PTS on every frame, and subpicture units at given times. Each stream starts at `firstPts`, so
// a title's second clip can start its time stamps again or run them on from the first.

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwell::testing {

struct TestClip {
    std::uint64_t firstPts = 90000;
    int frames = 48;                  // video frames, 24 a second
    std::vector<double> subtitlesAt;  // seconds after the first picture, subpicture stream 1
    bool withSecondAudio = false;     // DD+ audio stream 2 as well
};

// Writes the clip's EVO file (audio stream 1: 2 s of a sine from ffmpeg, each frame 32 ms).
void writeTestClip(const std::string& path, const TestClip& clip);

}  // namespace tarnwell::testing
