#pragma once

#include <memory>
#include <string>

namespace qm::skellow {

inline constexpr const char* kRegistrationProgId = "DunmoTaxPJEncrypt.Application";

// The registration-number component: the installation's registration number and the additional
// text recorded with each usage statistics "Data".
class IRegistrationNumber {
public:
    virtual ~IRegistrationNumber() = default;
    // Fills both; raises corvane::ETax when the installation's data cannot be read.
    virtual void GetSpecNo(std::string& registrationNumber, std::string& additionalInfo) = 0;
};

// The installation's own component: it reads "product_regno" and "product_reginfo" from the
// configuration file sysConfigFile ("Config/SysConfig.Xml"); absent elements give "". A file that
// exists but does not parse makes GetSpecNo raise.
std::unique_ptr<IRegistrationNumber> CreateRegistrationNumber(const std::string& sysConfigFile);

} // namespace qm::skellow
