#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace qm::server {

// How many more connections a flaky path may cut; shared by every request of that path.
class CutBudget {
public:
    explicit CutBudget(std::uint64_t cuts) : left_(cuts) {}

    // True, once per allowed cut; false for good when the budget is spent.
    bool Take() noexcept {
        std::uint64_t left = left_.load();
        while (left > 0 && !left_.compare_exchange_weak(left, left - 1)) {
        }
        return left > 0;
    }

private:
    std::atomic<std::uint64_t> left_;
};

// One budget per path for the life of the server: the first request of a path sets its size.
class CutBudgets {
public:
    std::shared_ptr<CutBudget> For(const std::string& path, std::uint64_t cuts) {
        const std::lock_guard lock(mutex_);
        std::shared_ptr<CutBudget>& budget = budgets_[path];
        if (!budget)
            budget = std::make_shared<CutBudget>(cuts);
        return budget;
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<CutBudget>> budgets_;
};

} // namespace qm::server
