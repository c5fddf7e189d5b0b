#pragma once

#include <cstdint>
#include <string>

namespace qm {

// An abstract name/value store.
class TNameValueColl {
public:
    virtual ~TNameValueColl() = default;
    virtual std::string ReadString(const std::string& key) = 0;
    virtual std::int32_t ReadInteger(const std::string& key) = 0;
    virtual double ReadFloat(const std::string& key) = 0;
    virtual void WriteString(const std::string& key, const std::string& value) = 0;
    virtual void WriteInteger(const std::string& key, std::int32_t value) = 0;
    virtual void WriteFloat(const std::string& key, double value) = 0;
};

} // namespace qm
