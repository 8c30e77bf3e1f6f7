#pragma once
// TimerPort for tests: a clock that moves only when told, timers that fire
// from AdvanceTo on the calling thread, and a record of every call. Safe to
// arm and kill from several threads; AdvanceTo belongs to one thread.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "timer_port.h"

class FakeTimerPort : public TimerPort {
public:
    struct Call {
        enum class Kind { Set, Kill } kind = Kind::Set;
        std::uint32_t timerId = 0;
        std::uint32_t periodMs = 0;  // 0 for Kill
        std::uint64_t atMs = 0;
        friend bool operator==(const Call&, const Call&) = default;
    };

    void SetTimer(std::uint32_t timerId, std::uint32_t periodMs) override {
        std::lock_guard lock(mutex_);
        armed_[timerId] = Armed{periodMs, nowMs_ + periodMs};
        calls_.push_back({Call::Kind::Set, timerId, periodMs, nowMs_});
    }

    void KillTimer(std::uint32_t timerId) override {
        std::lock_guard lock(mutex_);
        armed_.erase(timerId);
        calls_.push_back({Call::Kind::Kill, timerId, 0, nowMs_});
    }

    // Moves the clock to nowMs, firing every timer that falls due on the
    // way, earliest first, each at its due time. onExpiry runs without the
    // fake's lock held, so it may arm and kill.
    void AdvanceTo(std::uint64_t nowMs, const std::function<void(std::uint32_t)>& onExpiry) {
        while (const auto due = NextDueUntil(nowMs)) {
            onExpiry(*due);
        }
        std::lock_guard lock(mutex_);
        nowMs_ = std::max(nowMs_, nowMs);
    }

    std::uint64_t Now() const {
        std::lock_guard lock(mutex_);
        return nowMs_;
    }

    bool IsArmed(std::uint32_t timerId) const {
        std::lock_guard lock(mutex_);
        return armed_.count(timerId) != 0;
    }

    std::optional<std::uint64_t> DueTime(std::uint32_t timerId) const {
        std::lock_guard lock(mutex_);
        const auto found = armed_.find(timerId);
        if (found == armed_.end()) {
            return std::nullopt;
        }
        return found->second.dueMs;
    }

    std::vector<Call> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    struct Armed {
        std::uint32_t periodMs = 0;
        std::uint64_t dueMs = 0;
    };

    // The earliest timer due at or before limitMs: moves the clock to its
    // due time and schedules its next period.
    std::optional<std::uint32_t> NextDueUntil(std::uint64_t limitMs) {
        std::lock_guard lock(mutex_);
        auto earliest = armed_.end();
        for (auto it = armed_.begin(); it != armed_.end(); ++it) {
            if (it->second.dueMs <= limitMs &&
                (earliest == armed_.end() || it->second.dueMs < earliest->second.dueMs)) {
                earliest = it;
            }
        }
        if (earliest == armed_.end()) {
            return std::nullopt;
        }
        nowMs_ = std::max(nowMs_, earliest->second.dueMs);
        // A 0 ms period would fire forever within one AdvanceTo; give it 1 ms.
        earliest->second.dueMs = nowMs_ + std::max<std::uint32_t>(earliest->second.periodMs, 1);
        return earliest->first;
    }

    mutable std::mutex mutex_;
    std::uint64_t nowMs_ = 0;
    std::map<std::uint32_t, Armed> armed_;
    std::vector<Call> calls_;
};
