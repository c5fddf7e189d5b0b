#include "services/ServiceCatalogue.h"

#include <fstream>
#include <stdexcept>

namespace qm::server {

namespace {

constexpr const char* kListedFields[] = {"productCode", "storeUrl", "price"};

const std::string& StringMember(const nlohmann::ordered_json& entry, const char* name, std::size_t index) {
    const auto found = entry.find(name);
    if (found == entry.end() || !found->is_string())
        throw std::runtime_error("services.json: entry " + std::to_string(index + 1) + " has no string \"" +
                                 name + "\"");
    return found->get_ref<const std::string&>();
}

} // namespace

nlohmann::ordered_json FindServices(const std::filesystem::path& file, const std::string& serviceType,
                                    const std::string& version) {
    nlohmann::ordered_json matches = nlohmann::ordered_json::array();
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
        return matches;
    const nlohmann::ordered_json entries = nlohmann::ordered_json::parse(stream, nullptr, false);
    if (entries.is_discarded())
        throw std::runtime_error("services.json is not valid JSON");
    if (!entries.is_array())
        throw std::runtime_error("services.json must hold an array of entries");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const nlohmann::ordered_json& entry = entries[i];
        if (!entry.is_object())
            throw std::runtime_error("services.json: entry " + std::to_string(i + 1) + " is not an object");
        if (StringMember(entry, "serviceType", i) != serviceType ||
            StringMember(entry, "version", i) != version)
            continue;
        nlohmann::ordered_json listed = nlohmann::ordered_json::object();
        for (const char* field : kListedFields)
            listed[field] = StringMember(entry, field, i);
        matches.push_back(std::move(listed));
    }
    return matches;
}

} // namespace qm::server
