#include "corvane/Plugin.h"

#include "corvane/Errors.h"
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"
#include "corvane/TextCase.h"

namespace corvane {

// A plugin object handed out as "call_inst" must not be reachable once it is gone.
TPlugin::~TPlugin() {
    Handles().Unregister(this);
}
TClientPlugin::~TClientPlugin() = default;

const TPublishedMethod* TPlugin::MethodAddress(std::string_view name) const noexcept {
    for (const auto& method : PublishedMethods())
        if (SameText(method.name, name))
            return &method;
    return nullptr;
}

IDataDocument TPlugin::Invoke(const TBSONDocument& doc) {
    return DoInvoke(doc);
}

IDataDocument TPlugin::DoInvoke(const TBSONDocument& doc) {
    static constexpr const char* location = "TPlugin.Invoke(doc: TBSONDocument): IDataDocument";
    const TBSONItem* command = doc.Find(kReqCmd);
    if (command == nullptr)
        throw EPlugin(FormatText("发往插件(%s)的请求没有请求号\"@ReqCMD\"", address_), location);
    const std::int32_t number = command->AsInteger();
    const TPublishedMethod* method = MethodAddress("REQ_" + std::to_string(number));
    if (method == nullptr)
        throw EPlugin(FormatText("插件(%s)没有处理请求%d的方法REQ_%d", address_, number, number), location);
    auto answer = TakeDataDocument();
    method->call(*this, doc, *answer);
    return answer;
}

} // namespace corvane
