#pragma once
// What a running loop needs from whoever started it, and nothing more: letting pending events
// run (where a Cancel click is noticed), repainting, the enabled state of Cancel, the two
// options it reads live, and the clock. The cancel request itself is `CancelRequested` in the
// engine state.

namespace tarnwell {

class RunControl {
  public:
    virtual ~RunControl() = default;

    virtual void processEvents() = 0;
    virtual void repaint() = 0;
    virtual void setCancelEnabled(bool enabled) = 0;

    // "Fast EVO checking" and "Count frames" as they are at the moment of asking.
    virtual bool fastCheck() const = 0;
    virtual bool countFrames() const = 0;

    // The current local date and time, in days (any fixed epoch).
    virtual double now() const = 0;
};

}  // namespace tarnwell
