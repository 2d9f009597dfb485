#pragma once
// The jobs driven through `Commands` as in the job tests, with what the fault tests need on
// top: the Rebuild command, a check that every file of the process is closed again, a limit on
// the size of written files that makes writes fail as on a full disk, a way to run a job
// without the rights of root, and the process's peak memory.

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "jobs/job_fixture.h"

#if defined(__SANITIZE_ADDRESS__)
#define TARNWELL_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARNWELL_UNDER_ASAN 1
#endif
#endif

namespace tarnwell::testing {

#ifdef TARNWELL_UNDER_ASAN
// The sanitizer's shadow memory and quarantine make the resident size meaningless.
inline constexpr bool kUnderAddressSanitizer = true;
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif

using fixture::Bytes;

inline constexpr int kVc1 = 0x55;
inline constexpr int kDDPlus = 0xC0;
inline constexpr int kSub = 0x20;
inline constexpr std::size_t kStep = 4 << 20;  // the loops' progress step

enum class Job { ReadEvo, Demux, Rebuild };
const char* jobName(Job job);

// `part` is the start of `whole`.
bool isPrefix(const Bytes& part, const Bytes& whole);

class HardeningFixture : public JobFixture {
  protected:
    std::string rebuildJob() {
        return run([this] { return commands.bRebuildClick(); });
    }
    std::string runJob(Job job);

    // A typical title saved as `name` on the disc and read as the user would before Demux or
    // Rebuild, so every stream it holds is ticked.
    EvoFixture readTitle(std::size_t size, std::uint32_t seed,
                         const std::string& name = "FEATURE_1.EVO");

    // Every file of the output folder with what it holds.
    std::map<std::string, Bytes> outputs() const;

    // An input file or output slot, the rebuilt file included, that is still open.
    bool anyFileOpen() { return anyOutputOpen() || commands.state().RebuildOut.isOpen(); }

    // The job whose log lines start at `from` did not report a normal end: no "Done.", status
    // panel 0 not back at "Ready", and its command button still disabled.
    void expectNoSuccess(Job job, std::size_t from);
};

// Files of the process may grow to `bytes` only while the guard lives; a write past that fails
// with EFBIG as on a full disk, instead of raising SIGXFSZ.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    struct sigaction previousAction_ {};
};

// Runs `job` without the rights that would let it write anywhere: as root (where permissions
// don't apply) in a child process that drops to user and group 65534 first, otherwise in this
// process. Returns what `job` returned, or a text starting with "child:" when the child could
// not drop its rights or died.
std::string runUnprivileged(const std::function<std::string()>& job);
inline constexpr const char* kNoPrivilegeDrop = "child: cannot drop privileges";

// The peak resident size is set back to the current one; false where the system can't.
bool resetPeakMemory();
// VmHWM and VmRSS of /proc/self/status, in bytes.
std::int64_t peakMemory();
std::int64_t currentMemory();

}  // namespace tarnwell::testing
