#include "upgrade/StoreApp.h"

#include "common/AppCatalog.h"
#include "common/Paths.h"

#include <algorithm>

namespace qm {

std::string UpperAscii(std::string text) {
    std::ranges::transform(text, text.begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return text;
}

std::optional<TStoreApp> FindStoreApp(const std::string& id) {
    static constexpr const char* kFields[] = {"url", "ver", "params", "name", "sha256"};
    const auto record =
        FindAppRecord(IssueFile(), id, kFields, "TUIPlugin.REQ_3(const req, res: TBSONDocument)");
    if (!record)
        return std::nullopt;
    return TStoreApp{record->at("url"), UpperAscii(record->at("ver")), record->at("params"),
                     record->at("name"), record->at("sha256")};
}

} // namespace qm
