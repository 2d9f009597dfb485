#include "engine/frame_counter.h"

#include <cstring>
#include <limits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TARNWELL_SCREEN_AVX2 1
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

#if TARNWELL_SCREEN_AVX2
// For 32 candidates from q: the candidate is 0x01 and the byte before it zero.
__attribute__((target("avx2"))) inline __m256i zeroThenOne(const std::uint8_t* q) {
    const __m256i ones = _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(q)),
                                           _mm256_set1_epi8(1));
    const __m256i zeros = _mm256_cmpeq_epi8(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q - 1)), _mm256_setzero_si256());
    return _mm256_and_si256(ones, zeros);
}

// Screens 64 candidates at a time for "00 01", which random payload holds only once in
// 64 KiB or so, and checks the rare hits one by one. Needs p > begin; leaves p where
// fewer than 64 candidates are left before `end`.
__attribute__((target("avx2"))) std::int64_t screenAvx2(const std::uint8_t* begin,
                                                        const std::uint8_t*& p,
                                                        const std::uint8_t* end,
                                                        std::uint8_t last) {
    std::int64_t count = 0;
    for (; end - p >= 64; p += 64) {
        const __m256i any = _mm256_or_si256(zeroThenOne(p), zeroThenOne(p + 32));
        if (!_mm256_testz_si256(any, any)) count += countFrom(begin, p, p + 64, last);
    }
    return count;
}

bool hasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#endif

}  // namespace

std::int64_t countFrameCodes(std::span<const std::uint8_t> chunk, VideoCodec codec) {
    if (chunk.size() < 2) return 0;
    const std::uint8_t last = static_cast<std::uint8_t>(frameStartCode(codec));
    const std::uint8_t* const begin = chunk.data();
    // The last byte cannot hold a code's 0x01: nothing follows it in the chunk.
    const std::uint8_t* const end = begin + chunk.size() - 1;
    const std::uint8_t* p = begin;
    std::int64_t count = 0;
#if TARNWELL_SCREEN_AVX2
    // The first two candidates look before the chunk; the bulk after them is screened.
    static const bool avx2 = hasAvx2();
    if (avx2 && end - begin >= 2 + 64) {
        count += countFrom(begin, p, p + 2, last);
        p += 2;
        count += screenAvx2(begin, p, end, last);
    }
#endif
    return count + countFrom(begin, p, end, last);
}

void countFrames(std::span<const std::uint8_t> chunk, VideoCodec codec, std::int32_t& frameCount) {
    const std::int64_t found = countFrameCodes(chunk, codec);
    if (found == 0) return;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    const std::int64_t sum = std::int64_t{frameCount} + found;
    frameCount = static_cast<std::int32_t>(sum > kMax ? kMax : sum);
}

}  // namespace tarnwell
