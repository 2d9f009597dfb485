#include "io/read_ahead.h"

#include <gtest/gtest.h>

#include <vector>

#include "evo_builder.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using fixture::Bytes;

// The blocks, joined, are the file; each is the block size but the last; the position follows.
TEST(ReadAhead, BlocksCutTheFileAtFixedPositions) {
    testing::TempDir dir;
    const Bytes file = fixture::noisePayload(2 * 1000 * 1000 + 123, 3);
    testing::writeFile(dir.file("in"), file);
    struct Case {
        std::size_t bufferSize, blockSize;
    };
    // Block sizes that divide the buffer and ones that leave a part block at its end.
    const Case cases[] = {
        {1 << 20, 2048}, {1 << 20, 32768}, {1 << 20, 3000}, {100000, 60000}, {4096, 4096}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bufferSize << "/" << c.blockSize);
        InputFile in;
        in.open(dir.file("in"));
        std::vector<std::uint8_t> buffer(c.bufferSize, 0xEE);
        ReadAhead blocks(in, buffer, c.blockSize);
        Bytes joined;
        std::int64_t blockCount = 0;
        for (;;) {
            const auto block = blocks.next([] {});
            if (block.empty()) break;
            ++blockCount;
            joined.insert(joined.end(), block.begin(), block.end());
            EXPECT_EQ(blocks.position(), static_cast<std::int64_t>(joined.size()));
            if (joined.size() < file.size()) {
                EXPECT_EQ(block.size(), c.blockSize);
            }
        }
        EXPECT_EQ(joined, file);
        EXPECT_EQ(blockCount,
                  static_cast<std::int64_t>((file.size() + c.blockSize - 1) / c.blockSize));
    }
}

TEST(ReadAhead, RefillWaitsForTheWritersOfTheBuffer) {
    testing::TempDir dir;
    testing::writeFile(dir.file("in"), fixture::noisePayload(10000, 4));
    InputFile in;
    in.open(dir.file("in"));
    std::vector<std::uint8_t> buffer(4096);
    ReadAhead blocks(in, buffer, 1024);
    int refills = 0;
    std::vector<int> refillsSeen;
    while (!blocks.next([&] { ++refills; }).empty()) refillsSeen.push_back(refills);
    // One refill per four blocks, the first before any block is handed out; the part block at
    // the end is topped up first, in case the file has more to give.
    EXPECT_EQ(refillsSeen, (std::vector<int>{1, 1, 1, 1, 2, 2, 2, 2, 3, 4}));
}

}  // namespace
}  // namespace tarnwell
