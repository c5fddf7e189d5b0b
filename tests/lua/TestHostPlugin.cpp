#include "TestHostPlugin.h"

#include "common/Paths.h"
#include "corvane/Errors.h"
#include "corvane/Khan.h"
#include "host/TaxLua.h"

#include <stdexcept>

using corvane::TBSONDocument;

#define QM_TEST_HOST_REQ(n)                                                                                  \
    corvane::TPublishedMethod {                                                                              \
        "REQ_" #n, &corvane::PublishedThunk<TTestHostPlugin, &TTestHostPlugin::Handle<n>>                    \
    }

std::span<const corvane::TPublishedMethod> TTestHostPlugin::PublishedMethods() const noexcept {
    static const corvane::TPublishedMethod methods[] = {
        QM_TEST_HOST_REQ(1),   QM_TEST_HOST_REQ(2),   QM_TEST_HOST_REQ(3),   QM_TEST_HOST_REQ(4),
        QM_TEST_HOST_REQ(5),   QM_TEST_HOST_REQ(6),   QM_TEST_HOST_REQ(7),   QM_TEST_HOST_REQ(8),
        QM_TEST_HOST_REQ(9),   QM_TEST_HOST_REQ(10),  QM_TEST_HOST_REQ(11),  QM_TEST_HOST_REQ(12),
        QM_TEST_HOST_REQ(101), QM_TEST_HOST_REQ(102), QM_TEST_HOST_REQ(103), QM_TEST_HOST_REQ(104),
        QM_TEST_HOST_REQ(105), QM_TEST_HOST_REQ(201), QM_TEST_HOST_REQ(202), QM_TEST_HOST_REQ(203),
        QM_TEST_HOST_REQ(204), QM_TEST_HOST_REQ(205), QM_TEST_HOST_REQ(206), QM_TEST_HOST_REQ(207),
    };
    return methods;
}

std::vector<TTestHostPlugin::TReceived> TTestHostPlugin::ReceivedWith(std::int32_t number) const {
    std::vector<TReceived> matching;
    for (const TReceived& received : received_)
        if (received.number == number)
            matching.push_back(received);
    return matching;
}

void TTestHostPlugin::Serve(std::int32_t number, const TBSONDocument& req, TBSONDocument& res) {
    received_.push_back(TReceived{number, req});
    const std::string location = "TTestHostPlugin.REQ_" + std::to_string(number);

    if (req.HasItem("fail_with")) {
        const std::string kind = req.GetValue("fail_with").AsString();
        const std::string message = req.HasItem("fail_msg") ? req.GetValue("fail_msg").AsString() : "failed";
        if (kind == "runtime")
            throw std::runtime_error(message);
        if (kind == "eui")
            throw corvane::EUI(message, location);
        throw corvane::EPlugin(message, location);
    }

    res.SetInteger("answered_req", number);
    switch (number) {
    case 2: // desk metrics; the boolean is not for scripts
        res.SetInteger("left", 0);
        res.SetInteger("top", 0);
        res.SetInteger("width", 1024);
        res.SetInteger("height", 768);
        res.SetDouble("zoom", 1.5);
        res.SetString("caption", "desk");
        res.SetBoolean("visible", true);
        break;
    case 9:
        corvane::Khan().UnloadPlugin(req.GetValue("plugin").AsString());
        break;
    case 103: {
        const std::string script = req.GetValue("luaf").AsString();
        if (!qm::FileExists(script))
            throw corvane::EPlugin(corvane::FormatText("文件(%s)不存在！", script), location);
        qm::TaxLua().RunFile(script);
        break;
    }
    default:
        break;
    }
}
