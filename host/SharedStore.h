#pragma once

#include <string>
#include <utility>
#include <vector>

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
    using TEntries = std::vector<std::pair<std::string, std::string>>;
    struct TNamespace {
        std::string name;
        TEntries entries;
    };
    TNamespace& Namespace(const std::string& name);
    const TNamespace* FindNamespace(const std::string& name) const;

    std::vector<TNamespace> namespaces_;
};

} // namespace qm
