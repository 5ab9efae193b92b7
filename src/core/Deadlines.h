// Timers as deadlines on one millisecond clock. The program's four kinds of timers (the main
// window's, the fades of the window effects, the dial-up component's, KestrelMesh's) each
// keep their own identifiers in a space of their own. The platform runs what is due whenever
// it is woken, and is told when to wake next; the native tests move a virtual clock through
// the same deadlines, so all four kinds run on one time line there as they do in the program.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace kiv {

enum class TimerSpace { MainForm, Fade, DialUp, Mesh };

class Deadlines {
public:
    using Clock = std::function<std::uint64_t()>;
    // Told the next deadline after every change, nothing when none is set.
    using Wake = std::function<void(std::optional<std::uint64_t> next)>;

    explicit Deadlines(Clock clock, Wake wake = {}) : clock_(std::move(clock)), wake_(std::move(wake)) {}
    Deadlines(const Deadlines&) = delete;
    Deadlines& operator=(const Deadlines&) = delete;

    // Who a space's timers fire at.
    void SetHandler(TimerSpace space, std::function<void(int id)> handler);

    // Timer id of space fires every interval ms (at least 1) from now on; setting it again
    // restarts it.
    void Set(TimerSpace space, int id, std::uint64_t interval);
    void Kill(TimerSpace space, int id);
    bool IsSet(TimerSpace space, int id) const;
    std::optional<std::uint64_t> Next() const;
    std::uint64_t Now() const { return clock_(); }

    // Fires the timer due first, if one is due by now: it is set for its next period before its
    // handler runs (a period missed while nothing ran is not made up for). False when none is due.
    bool FireOne();
    // Fires every timer due by now, in the order of their deadlines (ties: by space, then id).
    void RunDue();

private:
    struct Timer {
        std::uint64_t Interval = 1;
        std::uint64_t Due = 0;
    };
    using Key = std::pair<TimerSpace, int>;
    void Changed();

    Clock clock_;
    Wake wake_;
    std::map<Key, Timer> timers_;
    std::map<TimerSpace, std::function<void(int)>> handlers_;
};

}  // namespace kiv
