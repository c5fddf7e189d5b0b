#include "services/UsageShape.h"

#include <nlohmann/json.hpp>

namespace qm::server {

namespace {

using Json = nlohmann::json;

struct ShapeError {
    std::string what;
};

const std::string& Text(const Json& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_string())
        throw ShapeError{std::string("\"") + name + "\" is missing or not a string"};
    return found->get_ref<const std::string&>();
}

const Json& NonEmptyArray(const Json& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_array() || found->empty())
        throw ShapeError{std::string("\"") + name + "\" is missing or not a non-empty array"};
    return *found;
}

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

std::int64_t Count(const std::string& text) {
    if (!AllDigits(text) || text.size() > 12 || std::stoll(text) < 1)
        throw ShapeError{"\"FOperationCount\" is not a positive decimal count: " + text};
    return std::stoll(text);
}

void ReadData(const Json& data, std::vector<UsageCount>& counts) {
    if (!data.is_object())
        throw ShapeError{"a Data entry is not an object"};
    UsageCount base;
    base.productId = Text(data, "FProductID");
    base.productVer = Text(data, "FProductVer");
    base.registrationNumber = Text(data, "FProductRegNO");
    Text(data, "FAccountName");
    Text(data, "FAccountUser");
    base.user = Text(data, "FBKUser");
    Text(data, "FAdditionalInfo");
    for (const Json& day : NonEmptyArray(data, "FOperationDays")) {
        if (!day.is_object())
            throw ShapeError{"an FOperationDays entry is not an object"};
        const std::string& dayText = Text(day, "FOperationDay");
        if (dayText.size() != 8 || !AllDigits(dayText))
            throw ShapeError{"\"FOperationDay\" is not YYYYMMDD: " + dayText};
        for (const Json& function : NonEmptyArray(day, "FFunctions")) {
            if (!function.is_object())
                throw ShapeError{"an FFunctions entry is not an object"};
            UsageCount count = base;
            count.day = dayText;
            count.functionKey = Text(function, "FFunctionKey");
            if (count.functionKey.empty())
                throw ShapeError{"\"FFunctionKey\" is empty"};
            count.count = Count(Text(function, "FOperationCount"));
            counts.push_back(std::move(count));
        }
    }
}

} // namespace

UsageShapeResult ReadUsageText(const std::string& text) {
    const Json content = Json::parse(text, nullptr, false);
    if (content.is_discarded())
        return {std::nullopt, "not JSON"};
    try {
        std::vector<UsageCount> counts;
        if (content.is_array()) {
            if (content.empty())
                throw ShapeError{"an empty array"};
            for (const Json& data : content)
                ReadData(data, counts);
        } else {
            ReadData(content, counts);
        }
        return {std::move(counts), {}};
    } catch (const ShapeError& error) {
        return {std::nullopt, error.what};
    }
}

} // namespace qm::server
