#pragma once

#include <string>

#include "corvane/Export.h"

namespace corvane {

// The skin data module: the desk hands it the skin file of the installation ("Config/Skin.Sys").
// It keeps the file's name for the forms that look their skin up; the file's content is not read.
class CORVANE_API TdmSkin {
public:
    void SetSkinFile(const std::string& file) { skinFile_ = file; }
    const std::string& SkinFile() const noexcept { return skinFile_; }

private:
    std::string skinFile_;
};

// The one skin module of the process.
CORVANE_API TdmSkin& Skin();

} // namespace corvane
