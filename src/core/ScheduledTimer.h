// A timer of the main window on the program's deadlines (space MainForm, under a fixed
// identifier). Enabling it or changing its interval starts its period afresh; a timer of
// interval 0 does not run.
#pragma once

#include "Deadlines.h"
#include "Ports.h"

namespace kiv {

class ScheduledTimer : public TimerPort {
public:
    ScheduledTimer(Deadlines& deadlines, int id, unsigned interval) : deadlines_(deadlines), id_(id), interval_(interval)
    {
    }
    void SetEnabled(bool enabled) override
    {
        enabled_ = enabled;
        Apply();
    }
    bool Enabled() const override { return enabled_; }
    void SetInterval(unsigned milliseconds) override
    {
        interval_ = milliseconds;
        Apply();
    }
    unsigned Interval() const override { return interval_; }
    int Id() const { return id_; }

private:
    void Apply()
    {
        deadlines_.Kill(TimerSpace::MainForm, id_);
        if (enabled_ && interval_ > 0)
            deadlines_.Set(TimerSpace::MainForm, id_, interval_);
    }

    Deadlines& deadlines_;
    int id_;
    unsigned interval_;
    bool enabled_ = false;
};

}  // namespace kiv
