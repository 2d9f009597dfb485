#include "engine/frame_counter.h"

#include <cstring>
#include <limits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Every x86-64 processor has SSE2; AVX2 is used where the processor has it.
#define TARNWELL_SCREEN_WIDE 1
#include <immintrin.h>
#endif

namespace tarnwell {

namespace {

// Every match of 00 00 01 XX has its own 0x01 byte, so a code is counted by the position of
// its 0x01: the byte after it is the code's last byte, the two before it are zeros, and a
// byte before the chunk reads as zero. `p` is the 0x01 candidate, `begin` the chunk start.
inline bool codeAt(const std::uint8_t* begin, const std::uint8_t* p, std::uint8_t last) {
    return p[1] == last && (p == begin || p[-1] == 0) && (p - begin < 2 || p[-2] == 0);
}

// Codes whose 0x01 byte lies in [from, to); `to` is at most the chunk's end minus one.
std::int64_t countFrom(const std::uint8_t* begin, const std::uint8_t* from, const std::uint8_t* to,
                       std::uint8_t last) {
    std::int64_t count = 0;
    while (from < to) {
        from = static_cast<const std::uint8_t*>(
            std::memchr(from, 0x01, static_cast<std::size_t>(to - from)));
        if (!from) break;
        if (codeAt(begin, from, last)) ++count;
        ++from;
    }
    return count;
}

#if TARNWELL_SCREEN_WIDE
// For 16 (SSE2) or 32 (AVX2) candidates from q: the candidate is 0x01 and the byte before it
// zero.
inline __m128i zeroThenOne16(const std::uint8_t* q) {
    const __m128i ones =
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q)), _mm_set1_epi8(1));
    const __m128i zeros = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q - 1)),
                                         _mm_setzero_si128());
    return _mm_and_si128(ones, zeros);
}

__attribute__((target("avx2"))) inline __m256i zeroThenOne32(const std::uint8_t* q) {
    const __m256i ones = _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(q)),
                                           _mm256_set1_epi8(1));
    const __m256i zeros = _mm256_cmpeq_epi8(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q - 1)), _mm256_setzero_si256());
    return _mm256_and_si256(ones, zeros);
}

// Whether any of the 64 candidates from q is "00 01", which random payload holds only once
// in 64 KiB or so.
inline bool anyZeroThenOne64Sse2(const std::uint8_t* q) {
    const __m128i any = _mm_or_si128(_mm_or_si128(zeroThenOne16(q), zeroThenOne16(q + 16)),
                                     _mm_or_si128(zeroThenOne16(q + 32), zeroThenOne16(q + 48)));
    return _mm_movemask_epi8(any) != 0;
}

__attribute__((target("avx2"))) inline bool anyZeroThenOne64Avx2(const std::uint8_t* q) {
    const __m256i any = _mm256_or_si256(zeroThenOne32(q), zeroThenOne32(q + 32));
    return !_mm256_testz_si256(any, any);
}

// The screens take the candidates [p, end) 64 at a time and check the rare hits one by one;
// the last, partial stretch is screened as the 64 candidates before `end`, overlapping what
// was screened already. They need p > begin and end - p >= 64. (The loop is written out in
// each, so that the AVX2 compares are inlined into code built for AVX2.)
std::int64_t screenSse2(const std::uint8_t* begin, const std::uint8_t* p, const std::uint8_t* end,
                        std::uint8_t last) {
    std::int64_t count = 0;
    for (; end - p >= 64; p += 64)
        if (anyZeroThenOne64Sse2(p)) count += countFrom(begin, p, p + 64, last);
    if (p < end && anyZeroThenOne64Sse2(end - 64)) count += countFrom(begin, p, end, last);
    return count;
}

__attribute__((target("avx2"))) std::int64_t screenAvx2(const std::uint8_t* begin,
                                                        const std::uint8_t* p,
                                                        const std::uint8_t* end,
                                                        std::uint8_t last) {
    std::int64_t count = 0;
    for (; end - p >= 128; p += 128) {
        const __m256i any =
            _mm256_or_si256(_mm256_or_si256(zeroThenOne32(p), zeroThenOne32(p + 32)),
                            _mm256_or_si256(zeroThenOne32(p + 64), zeroThenOne32(p + 96)));
        if (!_mm256_testz_si256(any, any)) count += countFrom(begin, p, p + 128, last);
    }
    for (; end - p >= 64; p += 64)
        if (anyZeroThenOne64Avx2(p)) count += countFrom(begin, p, p + 64, last);
    if (p < end && anyZeroThenOne64Avx2(end - 64)) count += countFrom(begin, p, end, last);
    return count;
}
#endif

using Screen = std::int64_t (*)(const std::uint8_t*, const std::uint8_t*, const std::uint8_t*,
                                std::uint8_t);

// The screen that runs the bulk of a chunk; none: memchr finds every 0x01 byte.
Screen screenFor(FrameScreen kind) {
#if TARNWELL_SCREEN_WIDE
    if (kind == FrameScreen::Avx2) return screenAvx2;
    if (kind == FrameScreen::Sse2) return screenSse2;
#endif
    (void)kind;
    return nullptr;
}

FrameScreen widestScreen() {
    for (const auto kind : {FrameScreen::Avx2, FrameScreen::Sse2})
        if (frameScreenAvailable(kind)) return kind;
    return FrameScreen::Scalar;
}

}  // namespace

bool frameScreenAvailable(FrameScreen screen) {
#if TARNWELL_SCREEN_WIDE
    if (screen == FrameScreen::Avx2) {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
    }
    return true;
#else
    return screen == FrameScreen::Scalar;
#endif
}

std::int64_t countFrameCodes(std::span<const std::uint8_t> chunk, VideoCodec codec,
                             FrameScreen kind) {
    if (chunk.size() < 2) return 0;
    const std::uint8_t last = static_cast<std::uint8_t>(frameStartCode(codec));
    const std::uint8_t* const begin = chunk.data();
    // The last byte cannot hold a code's 0x01: nothing follows it in the chunk.
    const std::uint8_t* const end = begin + chunk.size() - 1;
    // The first two candidates look before the chunk; the rest is screened.
    const Screen screen = screenFor(kind);
    if (screen && end - begin >= 2 + 64)
        return countFrom(begin, begin, begin + 2, last) + screen(begin, begin + 2, end, last);
    return countFrom(begin, begin, end, last);
}

std::int64_t countFrameCodes(std::span<const std::uint8_t> chunk, VideoCodec codec) {
    static const FrameScreen widest = widestScreen();
    return countFrameCodes(chunk, codec, widest);
}

void countFrames(std::span<const std::uint8_t> chunk, VideoCodec codec, std::int32_t& frameCount) {
    const std::int64_t found = countFrameCodes(chunk, codec);
    if (found == 0) return;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    const std::int64_t sum = std::int64_t{frameCount} + found;
    frameCount = static_cast<std::int32_t>(sum > kMax ? kMax : sum);
}

}  // namespace tarnwell
