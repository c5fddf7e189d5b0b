#include "host/SharedStore.h"

#include "corvane/TextCase.h"

namespace qm {

using corvane::LowerAscii;

const TSharedStore::TEntries* TSharedStore::FindNamespace(const std::string& name) const {
    auto found = namespaces_.find(LowerAscii(name));
    return found == namespaces_.end() ? nullptr : &found->second;
}

TSharedStore::TEntries& TSharedStore::Namespace(const std::string& name) {
    return namespaces_[LowerAscii(name)];
}

std::string TSharedStore::Get(const std::string& nameSpace, const std::string& key) {
    const TEntries& entries = Namespace(nameSpace);
    auto found = entries.find(LowerAscii(key));
    return found == entries.end() ? std::string() : found->second;
}

void TSharedStore::Set(const std::string& nameSpace, const std::string& key, const std::string& value) {
    if (value.empty()) {
        Remove(nameSpace, key);
        return;
    }
    Namespace(nameSpace)[LowerAscii(key)] = value;
}

void TSharedStore::Remove(const std::string& nameSpace, const std::string& key) {
    Namespace(nameSpace).erase(LowerAscii(key));
}

bool TSharedStore::HasNamespace(const std::string& nameSpace) const {
    return FindNamespace(nameSpace) != nullptr;
}

bool TSharedStore::HasKey(const std::string& nameSpace, const std::string& key) const {
    const TEntries* entries = FindNamespace(nameSpace);
    return entries != nullptr && entries->contains(LowerAscii(key));
}

} // namespace qm
