#include "jobs/host.h"

#include <chrono>

namespace tarnwell {

double systemClockDays() {
    using namespace std::chrono;
    const auto sinceEpoch = system_clock::now().time_since_epoch();
    return duration<double, std::ratio<86400>>(sinceEpoch).count();
}

}  // namespace tarnwell
