#include "skellow/UsageEvent.h"

#include "corvane/BsonDocument.h"

#include <string_view>

namespace qm::skellow {

namespace {

std::string Text(const corvane::TBSONDocument& request, std::string_view name) {
    const corvane::TBSONItem* item = request.Find(name);
    return item ? item->AsString() : std::string();
}

void ZeroWhenBlank(std::string& text) {
    if (TrimmedText(text).empty())
        text = std::string(1, '0');
}

} // namespace

std::string TrimmedText(const std::string& text) {
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::string_view view(text);
    while (!view.empty() && isBlank(view.front()))
        view.remove_prefix(1);
    while (!view.empty() && isBlank(view.back()))
        view.remove_suffix(1);
    return std::string(view);
}

TUsageEvent TUsageEvent::FromRequest(const corvane::TBSONDocument& request) {
    return {Text(request, "FProductID"), Text(request, "FProductVer"), Text(request, "FBKUser"),
            Text(request, "FFunctionKey"), Text(request, "LogName")};
}

void TUsageEvent::Normalise() {
    ZeroWhenBlank(productId);
    ZeroWhenBlank(productVer);
    ZeroWhenBlank(bkUser);
    ZeroWhenBlank(functionKey);
}

} // namespace qm::skellow
