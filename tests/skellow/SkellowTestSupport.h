#pragma once

#include "common/CurlHandles.h"
#include "skellow/XmlFile.h"
#include "tests/common/TestFiles.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

namespace skellow_test {

using qm::test::ReadBytes;
using qm::test::WriteBytes;

// The sum of every "FOperationCount" in the "*.xml" statistics files of folder.
inline long long CountsInFolder(const std::string& folder) {
    long long sum = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().extension() != ".xml")
            continue;
        qm::skellow::TXmlDoc doc = qm::skellow::LoadXmlFile(entry.path().string());
        for (xmlNode* data = xmlDocGetRootElement(doc.get())->children; data; data = data->next)
            for (xmlNode* day = data->children; day; day = day->next)
                for (xmlNode* function = day->children; function; function = function->next)
                    if (function->type == XML_ELEMENT_NODE &&
                        xmlStrcmp(function->name, reinterpret_cast<const xmlChar*>("FFunctions")) == 0)
                        sum += std::stoll(qm::skellow::Attribute(function, "FOperationCount"));
    }
    return sum;
}

inline std::size_t FilesIn(const std::string& folder, const std::string& extension = ".xml") {
    std::size_t count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        count += entry.path().extension() == extension ? 1 : 0;
    return count;
}

inline size_t Collect(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// One HTTP call to the reference server; the answer's body. Throws when it does not answer 200.
inline std::string Http(const std::string& url, const std::string* postBody = nullptr) {
    qm::CurlEasy curl = qm::MakeCurlEasy();
    std::string body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    qm::CurlHeaderList headers;
    if (postBody) {
        if (!qm::AppendCurlHeader(headers, "Content-Type: application/json"))
            throw std::runtime_error("cannot build the request headers");
        curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, postBody->c_str());
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE, static_cast<long>(postBody->size()));
    }
    const CURLcode result = curl_easy_perform(curl.get());
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (result != CURLE_OK || status != 200)
        throw std::runtime_error("HTTP call failed: " + url + " (" + std::to_string(status) + ")");
    return body;
}

// Switches the logging service of the server at baseUrl: "accept", "refuse" or "away".
inline void SwitchLogService(const std::string& baseUrl, const std::string& mode,
                             const std::string& note = "", int delayMs = 0) {
    const std::string body = nlohmann::json{{"mode", mode}, {"note", note}, {"delayMs", delayMs}}.dump();
    Http(baseUrl + "/log/switch", &body);
}

inline nlohmann::json LogSummary(const std::string& baseUrl) {
    return nlohmann::json::parse(Http(baseUrl + "/log/summary"));
}

} // namespace skellow_test
