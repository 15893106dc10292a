#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

// Actions due at given times, run in time order by whoever drives the clock.
class Scheduler {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    // Schedules `action` for `when`; returns its id for Cancel.
    int At(TimePoint when, std::function<void()> action);
    void Cancel(int id);
    void Clear() { entries_.clear(); }
    bool Pending(int id) const;
    std::optional<TimePoint> Next() const;
    // Runs every action due at `now` (actions may schedule or cancel others).
    void RunDue(TimePoint now);

private:
    struct Entry {
        TimePoint when;
        int id;
        std::function<void()> action;
    };
    std::vector<Entry> entries_;
    int nextId_ = 1;
};
