#include "skellow/RegistrationNumber.h"

#include "common/XmlConfig.h"

namespace qm::skellow {

namespace {

class TInstallationRegistration final : public IRegistrationNumber {
public:
    explicit TInstallationRegistration(std::string file) : file_(std::move(file)) {}

    void GetSpecNo(std::string& registrationNumber, std::string& additionalInfo) override {
        TXmlConfig config;
        config.Open(file_);
        registrationNumber = config.ReadString("product_regno");
        additionalInfo = config.ReadString("product_reginfo");
    }

private:
    std::string file_;
};

} // namespace

std::unique_ptr<IRegistrationNumber> CreateRegistrationNumber(const std::string& sysConfigFile) {
    return std::make_unique<TInstallationRegistration>(sysConfigFile);
}

} // namespace qm::skellow
