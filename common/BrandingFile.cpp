#include "common/BrandingFile.h"

#include "common/Paths.h"
#include "common/TaxLog.h"
#include "common/XmlConfig.h"
#include "corvane/Errors.h"

namespace qm {

std::string BrandingFile() {
    return ConfigPath() + "brennik.xml";
}

bool OpenBrandingFile(TXmlConfig& branding) {
    const std::string file = BrandingFile();
    if (!FileExists(file))
        return false;
    try {
        branding.Open(file);
    } catch (const corvane::ETax& error) {
        try {
            TTaxLog::Log("配置文件(" + file + ")无法读取：" + error.Message());
        } catch (const std::exception&) {
            // The failure still reaches the caller.
        }
        throw;
    }
    return true;
}

} // namespace qm
