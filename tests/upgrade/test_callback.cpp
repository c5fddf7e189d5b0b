// The callback convention over the real handle table: only a live requester's own CallBack is
// ever called; everything else is skipped with a log entry.
#include "common/TaxLog.h"
#include "corvane/HandleTable.h"
#include "tests/upgrade/UpgradeTestSupport.h"

#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

using qm::TCallBackOutcome;
using upgrade_test::TRequester;

// Another requester class, so that a row of one class's table can be paired with the other's object.
class TOtherRequester : public corvane::TClientPlugin {
public:
    void CallBack(const corvane::TBSONDocument&, corvane::TBSONDocument&) { ++calls; }
    int calls = 0;

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override {
        static const corvane::TPublishedMethod methods[] = {CORVANE_PUBLISH(TOtherRequester, CallBack)};
        return methods;
    }
};

std::size_t SkipEntriesInLog() {
    const std::string log = qm::test::ReadBytes(qm::TTaxLog::LogFileName());
    std::size_t count = 0;
    for (auto at = log.find("回调已跳过"); at != std::string::npos; at = log.find("回调已跳过", at + 1))
        ++count;
    return count;
}

TEST(CallBackConvention, OnlyALiveRequestersOwnCallBackIsCalled) {
    enum class Pairing { Own, NoMethod, ZeroMethod, StaleTarget, TargetIsAWindow, OtherClassMethod, Forged };
    const struct {
        const char* name;
        Pairing pairing;
        TCallBackOutcome outcome;
    } cases[] = {
        {"own CallBack", Pairing::Own, TCallBackOutcome::Called},
        {"no reback_method", Pairing::NoMethod, TCallBackOutcome::NotRequested},
        {"reback_method 0", Pairing::ZeroMethod, TCallBackOutcome::NotRequested},
        {"requester gone", Pairing::StaleTarget, TCallBackOutcome::Skipped},
        {"call_inst is a window", Pairing::TargetIsAWindow, TCallBackOutcome::Skipped},
        {"method of another class", Pairing::OtherClassMethod, TCallBackOutcome::Skipped},
        {"forged numbers", Pairing::Forged, TCallBackOutcome::Skipped},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto requester = std::make_unique<TRequester>();
        TOtherRequester other;
        QWidget window;
        corvane::TBSONDocument request;
        qm::SetCallBackTarget(request, *requester);
        switch (c.pairing) {
        case Pairing::Own:
            break;
        case Pairing::NoMethod:
            request.Remove("reback_method");
            break;
        case Pairing::ZeroMethod:
            request.SetInteger("reback_method", 0);
            break;
        case Pairing::StaleTarget:
            break;
        case Pairing::TargetIsAWindow:
            request.SetInteger("call_inst",
                               corvane::Handles().Register(static_cast<QWidget*>(&window),
                                                           corvane::kHandleControl | corvane::kHandleForm));
            break;
        case Pairing::OtherClassMethod: {
            corvane::TBSONDocument otherRequest;
            qm::SetCallBackTarget(otherRequest, other);
            request.SetInteger("reback_method", otherRequest.GetValue("reback_method").AsInteger());
            break;
        }
        case Pairing::Forged:
            request.SetInteger("call_inst", 0x7FFFFF00);
            request.SetInteger("reback_method", 0x7FFFFF01);
            break;
        }
        TRequester* const watched = requester.get();
        if (c.pairing == Pairing::StaleTarget)
            requester.reset();
        request.SetInteger("Result", 3);
        const std::size_t loggedBefore = SkipEntriesInLog();

        EXPECT_EQ(qm::MakeCallBack(request), c.outcome);

        if (c.outcome == TCallBackOutcome::Called) {
            EXPECT_EQ(watched->results, std::vector<int>{3});
        } else if (requester) {
            EXPECT_TRUE(requester->results.empty());
        }
        EXPECT_EQ(other.calls, 0);
        EXPECT_EQ(SkipEntriesInLog(), loggedBefore + (c.outcome == TCallBackOutcome::Skipped ? 1 : 0));
        corvane::Handles().Unregister(static_cast<QWidget*>(&window));
    }
}

} // namespace
