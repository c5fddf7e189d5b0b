#include "host/SharedStore.h"

#include <algorithm>

#include "corvane/TextCase.h"

namespace qm {

using corvane::SameText;

const TSharedStore::TNamespace* TSharedStore::FindNamespace(const std::string& name) const {
    auto found = std::ranges::find_if(namespaces_, [&](const TNamespace& ns) { return SameText(ns.name, name); });
    return found == namespaces_.end() ? nullptr : &*found;
}

TSharedStore::TNamespace& TSharedStore::Namespace(const std::string& name) {
    if (const TNamespace* found = FindNamespace(name))
        return const_cast<TNamespace&>(*found);
    return namespaces_.emplace_back(TNamespace{name, {}});
}

std::string TSharedStore::Get(const std::string& nameSpace, const std::string& key) {
    for (const auto& [storedKey, value] : Namespace(nameSpace).entries)
        if (SameText(storedKey, key))
            return value;
    return {};
}

void TSharedStore::Set(const std::string& nameSpace, const std::string& key, const std::string& value) {
    if (value.empty()) {
        Remove(nameSpace, key);
        return;
    }
    TEntries& entries = Namespace(nameSpace).entries;
    for (auto& [storedKey, storedValue] : entries) {
        if (SameText(storedKey, key)) {
            storedValue = value;
            return;
        }
    }
    entries.emplace_back(key, value);
}

void TSharedStore::Remove(const std::string& nameSpace, const std::string& key) {
    std::erase_if(Namespace(nameSpace).entries, [&](const auto& entry) { return SameText(entry.first, key); });
}

bool TSharedStore::HasNamespace(const std::string& nameSpace) const { return FindNamespace(nameSpace) != nullptr; }

bool TSharedStore::HasKey(const std::string& nameSpace, const std::string& key) const {
    const TNamespace* ns = FindNamespace(nameSpace);
    return ns != nullptr &&
           std::ranges::any_of(ns->entries, [&](const auto& entry) { return SameText(entry.first, key); });
}

} // namespace qm
