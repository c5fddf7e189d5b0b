#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace qm::server {

// How many connections each client address holds open, with a cap per address.
class ClientCounts {
public:
    explicit ClientCounts(int most) : most_(most) {}

    // One connection counted for as long as the ticket lives.
    class Ticket {
    public:
        Ticket(ClientCounts& counts, std::string address) : counts_(counts), address_(std::move(address)) {}
        ~Ticket() { counts_.Leave(address_); }
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;

    private:
        ClientCounts& counts_;
        std::string address_;
    };

    // A ticket for another connection of `address`; null when it already holds the most allowed.
    std::unique_ptr<Ticket> Enter(const std::string& address) {
        const std::lock_guard lock(mutex_);
        int& count = open_[address];
        if (count >= most_)
            return nullptr;
        ++count;
        return std::make_unique<Ticket>(*this, address);
    }

private:
    void Leave(const std::string& address) {
        const std::lock_guard lock(mutex_);
        if (const auto found = open_.find(address); found != open_.end() && --found->second <= 0)
            open_.erase(found);
    }

    const int most_;
    std::mutex mutex_;
    std::unordered_map<std::string, int> open_;
};

} // namespace qm::server
