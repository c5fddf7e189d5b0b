#include "skellow/UsageEvent.h"

#include "common/TextTrim.h"
#include "corvane/BsonDocument.h"

#include <string_view>

namespace qm::skellow {

namespace {

std::string Text(const corvane::TBSONDocument& request, std::string_view name) {
    const corvane::TBSONItem* item = request.Find(name);
    return item ? item->AsString() : std::string();
}

void ZeroWhenBlank(std::string& text) {
    if (TrimmedCopy(text, kBlanksAndControls).empty())
        text = std::string(1, '0');
}

} // namespace

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
