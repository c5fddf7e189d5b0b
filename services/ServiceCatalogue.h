#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

namespace qm::server {

// The store's service list, read from "services.json" in the data folder on every request, so a
// deployer may edit it while the server runs. The file is a JSON array of objects whose members
// "serviceType", "version", "productCode", "storeUrl" and "price" are all strings.
//
// Answers the entries whose "serviceType" and "version" equal the given ones exactly, in file
// order, each as an object of "productCode", "storeUrl" and "price". A missing file is an empty
// list; a file that does not have that shape throws std::runtime_error saying what is wrong.
nlohmann::ordered_json FindServices(const std::filesystem::path& file, const std::string& serviceType,
                                    const std::string& version);

} // namespace qm::server
