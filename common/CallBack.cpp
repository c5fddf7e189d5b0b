#include "common/CallBack.h"

#include "common/TaxLog.h"
#include "corvane/Errors.h"
#include "corvane/HandleTable.h"

#include <QLoggingCategory>
#include <exception>
#include <string>

namespace qm {

namespace {

Q_LOGGING_CATEGORY(lcCallBack, "quillmere.callback", QtInfoMsg)

const char* const kMethodName = "CallBack";

std::int32_t IntegerOf(const corvane::TBSONDocument& doc, std::string_view key) {
    const corvane::TBSONItem* item = doc.Find(key);
    if (item == nullptr)
        return 0;
    try {
        return item->AsInteger();
    } catch (const std::exception&) {
        return 0;
    }
}

void LogSkipped(const std::string& why, std::int32_t target, std::int32_t method) {
    const std::string text = "回调已跳过: " + why + " (call_inst=" + std::to_string(target) +
                             ", reback_method=" + std::to_string(method) + ")";
    qCWarning(lcCallBack, "%s", text.c_str());
    try {
        TTaxLog::Log(text);
    } catch (const std::exception&) {
        // A log that cannot be written must not turn a skipped callback into a failure.
    }
}

} // namespace

void SetCallBackTarget(corvane::TBSONDocument& request, corvane::TPlugin& requester) {
    const corvane::TPublishedMethod* method = requester.MethodAddress(kMethodName);
    if (method == nullptr)
        throw corvane::EPlugin("请求者没有发布的方法CallBack", "SetCallBackTarget(request, requester)");
    corvane::THandleTable& handles = corvane::Handles();
    request.SetInteger(std::string(kKeyCallInst), handles.Register(&requester, corvane::kHandlePlugin));
    request.SetInteger(std::string(kKeyRebackMethod),
                       handles.Register(method, corvane::kHandlePublishedMethod));
}

TCallBackOutcome MakeCallBack(const corvane::TBSONDocument& doc) {
    const std::int32_t methodHandle = IntegerOf(doc, kKeyRebackMethod);
    if (methodHandle <= 0)
        return TCallBackOutcome::NotRequested;
    const std::int32_t targetHandle = IntegerOf(doc, kKeyCallInst);
    corvane::THandleTable& handles = corvane::Handles();
    auto* target = static_cast<corvane::TPlugin*>(handles.Find(targetHandle, corvane::kHandlePlugin));
    if (target == nullptr) {
        LogSkipped("call_inst 不是存活的插件对象", targetHandle, methodHandle);
        return TCallBackOutcome::Skipped;
    }
    const void* method = handles.Find(methodHandle, corvane::kHandlePublishedMethod);
    if (method == nullptr) {
        LogSkipped("reback_method 不是存活的发布方法", targetHandle, methodHandle);
        return TCallBackOutcome::Skipped;
    }
    // The method row is only trusted as the target's own "CallBack": its thunk casts the object to the
    // row's class, and a row of an unloaded library would be stale memory. The target is live, so its
    // table is too, and the row is compared by address before it is touched.
    const corvane::TPublishedMethod* own = target->MethodAddress(kMethodName);
    if (own == nullptr || own != method) {
        LogSkipped("reback_method 不是 call_inst 的 CallBack", targetHandle, methodHandle);
        return TCallBackOutcome::Skipped;
    }
    corvane::TBSONDocument unused;
    own->call(*target, doc, unused);
    return TCallBackOutcome::Called;
}

} // namespace qm
