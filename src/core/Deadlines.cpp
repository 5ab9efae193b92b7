#include "Deadlines.h"

#include <algorithm>

namespace kiv {

void Deadlines::SetHandler(TimerSpace space, std::function<void(int id)> handler)
{
    handlers_[space] = std::move(handler);
}

void Deadlines::Set(TimerSpace space, int id, std::uint64_t interval)
{
    interval = std::max<std::uint64_t>(interval, 1);
    timers_[{space, id}] = {interval, clock_() + interval};
    Changed();
}

void Deadlines::Kill(TimerSpace space, int id)
{
    if (timers_.erase({space, id}) != 0)
        Changed();
}

bool Deadlines::IsSet(TimerSpace space, int id) const { return timers_.count({space, id}) != 0; }

std::optional<std::uint64_t> Deadlines::Next() const
{
    std::optional<std::uint64_t> next;
    for (const auto& [key, timer] : timers_)
        if (!next || timer.Due < *next)
            next = timer.Due;
    return next;
}

bool Deadlines::FireOne()
{
    const std::uint64_t now = clock_();
    auto first = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
        if (it->second.Due <= now && (first == timers_.end() || it->second.Due < first->second.Due))
            first = it;
    if (first == timers_.end())
        return false;
    const Key key = first->first;
    // Periods missed while nothing ran are not made up for: the next one follows the tick.
    Timer& timer = first->second;
    timer.Due = timer.Due + timer.Interval > now ? timer.Due + timer.Interval : now + timer.Interval;
    Changed();
    if (const auto handler = handlers_.find(key.first); handler != handlers_.end() && handler->second)
        handler->second(key.second);
    return true;
}

void Deadlines::RunDue()
{
    // Each timer fires at most once per period due: a handler that sets a timer again puts its
    // deadline after now, so this ends.
    while (FireOne()) {
    }
}

void Deadlines::Changed()
{
    if (wake_)
        wake_(Next());
}

}  // namespace kiv
