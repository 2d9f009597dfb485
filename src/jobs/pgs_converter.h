#pragma once
// The second thread that converts subpicture units into presentation graphics while the demux
// reads on.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "formats/pgs_writer.h"
#include "formats/subpicture_unit.h"

namespace tarnwell {

class SubpictureOutput;

// Works out PGS conversions on a second thread, taking the units in the order handed in, and
// gives each back, in that order, to its output on the handing thread. A conversion that
// raises, on either thread, raises on the handing thread when its unit would be given back
// (from `convert` or `drain`); the units behind it stay in hand and are dropped with the
// converter, and nothing waits for a conversion that will not come.
class PgsConverter {
  public:
    // How a unit is converted (the default: PgsConversion::convert); without `secondThread`
    // every unit is converted on the handing thread.
    using Convert = void (*)(PgsConversion& conversion, const SubpictureUnit& unit);
    explicit PgsConverter(Convert convert = nullptr, bool secondThread = true);
    ~PgsConverter();  // units not given back yet are dropped
    PgsConverter(const PgsConverter&) = delete;
    PgsConverter& operator=(const PgsConverter&) = delete;

    // Hands the unit over; gives back those already converted, and waits for the oldest while
    // too many are in hand.
    void convert(SubpictureOutput& output, SubpictureUnit&& unit);
    // Gives back every unit handed over.
    void drain();

  private:
    struct Job {
        SubpictureOutput* output = nullptr;
        SubpictureUnit unit;
        PgsConversion conversion;
        bool done = false;         // converted, or failed with `error`
        std::exception_ptr error;  // what the conversion raised
    };
    static constexpr std::size_t kInHand = 16;

    void run();
    void convertJob(Job& job);
    // Gives back the oldest unit, converting it here when the converter has not begun it;
    // without `wait` only when it is converted already.
    bool giveBackOldest(bool wait);

    std::mutex mutex_;
    std::condition_variable work_, done_;
    // The units handed over and not given back yet (changed by the handing thread only, under
    // the lock); how many units were begun (in turn, by either thread) and given back so far.
    std::deque<std::unique_ptr<Job>> jobs_;
    std::uint64_t claimed_ = 0, givenBack_ = 0;
    bool stop_ = false;
    std::vector<std::unique_ptr<Job>> spare_;  // the handing thread's, their room kept
    Convert convert_;
    std::thread thread_;
};

}  // namespace tarnwell
