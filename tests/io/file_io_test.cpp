#include "io/file_io.h"

#include "engine/engine_harness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace tarnwell {
namespace {

using fixture::Bytes;
using testing::CurrentFolder;
using testing::readFile;
using testing::TempDir;

std::string errorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const FileError& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(FullPath, RelativeNamesAreExpandedAgainstTheCurrentFolder) {
    TempDir dir;
    CurrentFolder here(dir.path());
    const std::string cwd = std::filesystem::current_path().string();
    struct Case {
        std::string name, expected;
    };
    const Case cases[] = {
        {"FEATURE_1.EVO", cwd + "/FEATURE_1.EVO"},
        {"./out/../FEATURE_1.EVO", cwd + "/FEATURE_1.EVO"},
        {"out//video.mpv", cwd + "/out/video.mpv"},
        {"/a/./b//c/../d.EVO", "/a/b/d.EVO"},
        {"/../x", "/x"},
        {"/", "/"},
        {"sub/", cwd + "/sub/"},
    };
    for (const auto& c : cases) EXPECT_EQ(fullPath(c.name), c.expected) << c.name;
}

TEST(FileNamePart, AfterTheLastSeparator) {
    EXPECT_EQ(fileNamePart("/d/HVDVD_TS/FEATURE_1.EVO"), "FEATURE_1.EVO");
    EXPECT_EQ(fileNamePart("FEATURE_1.EVO"), "FEATURE_1.EVO");
    EXPECT_EQ(fileNamePart("/d/"), "");
}

TEST(InputFile, OpenErrorsNameTheFullPathAndTheReason) {
    TempDir dir;
    CurrentFolder here(dir.path());
    const std::string cwd = std::filesystem::current_path().string();
    InputFile in;
    EXPECT_EQ(errorText([&] { in.open("missing.EVO"); }),
              "Cannot open file \"" + cwd + "/missing.EVO\". " + std::strerror(ENOENT));
    std::filesystem::create_directory(dir.path() / "folder.EVO");
    EXPECT_EQ(errorText([&] { in.open("folder.EVO"); }),
              "Cannot open file \"" + cwd + "/folder.EVO\". " + std::strerror(EISDIR));
    EXPECT_FALSE(in.isOpen());
}

TEST(InputFile, SizeAndPositionFollowTheReads) {
    TempDir dir;
    testing::writeFile(dir.file("in"), Bytes(100000, 7));
    InputFile in;
    in.open(dir.file("in"));
    EXPECT_EQ(in.size(), 100000);
    std::uint8_t buffer[32768];
    EXPECT_EQ(in.read(buffer, sizeof buffer), 32768);
    EXPECT_EQ(in.position(), 32768);
    EXPECT_EQ(in.read(buffer, sizeof buffer), 32768);
    EXPECT_EQ(in.read(buffer, sizeof buffer), 32768);
    EXPECT_EQ(in.read(buffer, sizeof buffer), 100000 - 3 * 32768);
    EXPECT_EQ(in.read(buffer, sizeof buffer), 0);
    EXPECT_EQ(in.position(), 100000);
}

TEST(InputFile, AFailingReadIsAStreamReadError) {
    // Reading a process's own memory at address 0 fails with an I/O error.
    InputFile in;
    try {
        in.open("/proc/self/mem");
    } catch (const FileError&) {
        GTEST_SKIP() << "no /proc/self/mem";
    }
    std::uint8_t buffer[16];
    EXPECT_EQ(errorText([&] { in.read(buffer, sizeof buffer); }), "Stream read error");
}

TEST(OutputFile, CreateErrorNamesTheFullPathAndTheReason) {
    TempDir dir;
    CurrentFolder here(dir.path());
    const std::string cwd = std::filesystem::current_path().string();
    OutputFile out;
    EXPECT_EQ(errorText([&] { out.create("no/such/folder.mpv"); }),
              "Cannot create file \"" + cwd + "/no/such/folder.mpv\". " + std::strerror(ENOENT));
    EXPECT_FALSE(out.isOpen());
}

TEST(OutputFile, CloseWritesEverythingAccepted) {
    TempDir dir;
    OutputFile out;
    out.create(dir.file("out"));
    Bytes expected;
    // Small chunks stay in the buffer; a chunk larger than it goes straight through.
    for (int k = 0; k < 3000; ++k) {
        const Bytes chunk = fixture::noisePayload(1 + k % 500, k);
        out.write(chunk.data(), chunk.size());
        fixture::append(expected, chunk);
    }
    const Bytes large = fixture::noisePayload(OutputFile::kBufferSize + 17, 99);
    out.write(large.data(), large.size());
    fixture::append(expected, large);
    EXPECT_EQ(out.size(), static_cast<std::int64_t>(expected.size()));
    out.close();
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(readFile(dir.file("out")), expected);
}

TEST(OutputFile, CreateReplacesAnExistingFile) {
    TempDir dir;
    testing::writeFile(dir.file("out"), Bytes(50, 1));
    OutputFile out;
    out.create(dir.file("out"));
    out.write(Bytes{9}.data(), 1);
    out.close();
    EXPECT_EQ(readFile(dir.file("out")), Bytes{9});
}

TEST(OutputFile, DestroyingAnOpenFileKeepsWhatWasWritten) {
    TempDir dir;
    {
        OutputFile out;
        out.create(dir.file("out"));
        out.write(Bytes{1, 2, 3}.data(), 3);
    }
    EXPECT_EQ(readFile(dir.file("out")), (Bytes{1, 2, 3}));
}

TEST(OutputFile, AFullDeviceIsAStreamWriteError) {
    const Bytes large(OutputFile::kBufferSize * 2, 0x5A);
    {
        OutputFile out;
        out.create("/dev/full");
        EXPECT_EQ(errorText([&] { out.write(large.data(), large.size()); }), "Stream write error");
        // A file that failed once refuses later chunks too.
        EXPECT_EQ(errorText([&] { out.write(large.data(), 1); }), "Stream write error");
        EXPECT_EQ(errorText([&] { out.close(); }), "Stream write error");
        EXPECT_FALSE(out.isOpen());
    }
    {
        // Small chunks fail when the buffer is written, at the latest on close.
        OutputFile out;
        out.create("/dev/full");
        out.write(large.data(), 4);
        EXPECT_EQ(errorText([&] { out.close(); }), "Stream write error");
        EXPECT_FALSE(out.isOpen());
    }
    {
        OutputFile out;
        out.create("/dev/full");
        out.write(large.data(), 4);
        out.closeQuietly();
        EXPECT_FALSE(out.isOpen());
    }
}

TEST(OutputFile, WritingAClosedFileIsAStreamWriteError) {
    OutputFile out;
    EXPECT_EQ(errorText([&] { out.write(Bytes{1}.data(), 1); }), "Stream write error");
}

// With the second thread writing, a failure is raised at the next flush, and the files keep
// what immediate writes would have left: the other file loses what came after the failing
// write, and a header written over earlier bytes lands after them.
TEST(WriteBehind, KeepsWhatImmediateWritesWouldLeave) {
    TempDir dir;
    const Bytes data(OutputFile::kBufferSize * 3 + 5, 0x5A);
    WriteBehind behind;
    OutputFile full, other, header;
    full.create("/dev/full");
    other.create(dir.file("other"));
    header.create(dir.file("header"));
    for (OutputFile* file : {&full, &other, &header}) file->writeBehind(&behind);
    {
        WriteBehind::Pass pass(&behind);
        other.write(data.data(), 10);
        header.write(data.data(), data.size());
        header.writeAt(1, Bytes{1, 2}.data(), 2);
        header.close();
        behind.flush();  // nothing handed over has failed yet
        full.write(data.data(), OutputFile::kBufferSize);
        try {
            other.write(data.data(), data.size());
        } catch (const FileError&) {
        }
        EXPECT_EQ(errorText([&] { behind.flush(); }), "Stream write error");
    }
    EXPECT_EQ(errorText([&] { full.close(); }), "Stream write error");
    other.close();
    EXPECT_EQ(readFile(dir.file("other")), Bytes(10, 0x5A));
    Bytes expected = data;
    expected[1] = 1;
    expected[2] = 2;
    EXPECT_EQ(readFile(dir.file("header")), expected);
}

}  // namespace
}  // namespace tarnwell
