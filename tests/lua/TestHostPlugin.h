#pragma once

#include "corvane/Plugin.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The host plugin the script bridge tests put into the bus slot: it answers every host request
// number the scripts can send, keeps a copy of each request it received, and does the few things
// the tests rely on (unloading a plug-in, running a nested script).
class TTestHostPlugin : public corvane::TClientPlugin {
public:
    struct TReceived {
        std::int32_t number;
        corvane::TBSONDocument doc;
    };

    // Requests in arrival order.
    const std::vector<TReceived>& Received() const noexcept { return received_; }
    std::vector<TReceived> ReceivedWith(std::int32_t number) const;
    void ClearReceived() { received_.clear(); }

    // A request holding "fail_with" fails: "runtime" with std::runtime_error, "eui" with EUI, any
    // other text with EPlugin; the message is the text of "fail_msg".
    template <int N> void Handle(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
        Serve(N, req, res);
    }

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override;

private:
    void Serve(std::int32_t number, const corvane::TBSONDocument& req, corvane::TBSONDocument& res);

    std::vector<TReceived> received_;
};
