#pragma once

#include <string>
#include <unordered_map>

namespace qm {

// The host's in-memory namespace -> key -> text store. Namespaces and keys compare without
// regard to case; the store lives as long as the host plugin object and is never written to disk.
class TSharedStore {
public:
    // The stored value, "" when there is none. A get creates the namespace if it is missing.
    std::string Get(const std::string& nameSpace, const std::string& key);
    // Stores value under key, replacing an earlier value; an empty value removes the key.
    void Set(const std::string& nameSpace, const std::string& key, const std::string& value);
    void Remove(const std::string& nameSpace, const std::string& key);

    bool HasNamespace(const std::string& nameSpace) const;
    bool HasKey(const std::string& nameSpace, const std::string& key) const;

private:
    // Namespaces and keys are held folded (LowerAscii): a lookup folds its name once and then finds
    // it by hash, instead of a case-insensitive comparison with every name in turn.
    using TEntries = std::unordered_map<std::string, std::string>;
    TEntries& Namespace(const std::string& name);
    const TEntries* FindNamespace(const std::string& name) const;

    std::unordered_map<std::string, TEntries> namespaces_;
};

} // namespace qm
