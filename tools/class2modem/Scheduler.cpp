#include "Scheduler.h"

#include <algorithm>

int Scheduler::At(TimePoint when, std::function<void()> action) {
    const int id = nextId_++;
    entries_.push_back(Entry{when, id, std::move(action)});
    return id;
}

void Scheduler::Cancel(int id) {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [id](const Entry& entry) { return entry.id == id; }),
                   entries_.end());
}

bool Scheduler::Pending(int id) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [id](const Entry& entry) { return entry.id == id; });
}

std::optional<Scheduler::TimePoint> Scheduler::Next() const {
    if (entries_.empty()) {
        return std::nullopt;
    }
    return std::min_element(entries_.begin(), entries_.end(),
                            [](const Entry& a, const Entry& b) { return a.when < b.when; })
        ->when;
}

void Scheduler::RunDue(TimePoint now) {
    while (true) {
        auto due =
            std::min_element(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
                return a.when < b.when || (a.when == b.when && a.id < b.id);
            });
        if (due == entries_.end() || due->when > now) {
            return;
        }
        std::function<void()> action = std::move(due->action);
        entries_.erase(due);
        action();
    }
}
