#include "services/SqlDatabase.h"

#include <charconv>

namespace qm::server {

std::int64_t AsNumber(const std::optional<std::string>& column) {
    std::int64_t value = 0;
    if (column)
        std::from_chars(column->data(), column->data() + column->size(), value);
    return value;
}

std::string AsText(const std::optional<std::string>& column) {
    return column.value_or(std::string());
}

} // namespace qm::server
