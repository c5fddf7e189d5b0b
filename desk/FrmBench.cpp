#include "desk/FrmBench.h"

#include "common/ControlAlign.h"
#include "common/Paths.h"
#include "corvane/TextCase.h"

namespace qm {

TFrmBench::TFrmBench(QWidget* parent, TNameValueColl& userConfig, TNameValueColl& sysConfig, TPngPack& pngs)
    : TFrmBase(parent), userConfig_(userConfig), sysConfig_(sysConfig), pngs_(pngs) {
    setObjectName(QStringLiteral("FrmBench"));
    setWindowTitle(QStringLiteral("工作台"));
    FormCreate();
}

TFrmBench::~TFrmBench() {
    FormDestroy();
}

TUIContainer& TFrmBench::BenchContainer() const {
    return *wizard_->Container();
}

void TFrmBench::FormCreate() {
    wizard_ = std::make_unique<TUIWizard>(pngs_);
    TUIContainer& container = *wizard_->Container();
    // The flags go first, so that no layout of the container ever asks for the bars' pictures.
    container.SetShowTitleBar(false);
    container.SetShowStatusBar(false);
    container.SetShowBorder(false);
    container.setParent(this);
    SetControlAlign(&container, alClient);

    const std::string background = ConfiguredBackground();
    if (!background.empty() && corvane::EndsWithText(background, ".png"))
        container.SetBackgroundFile(background);
}

void TFrmBench::FormDestroy() {
    wizard_.reset();
}

std::string TFrmBench::ConfiguredBackground() const {
    return ConfiguredBenchBackground(userConfig_, sysConfig_);
}

std::string ConfiguredBenchBackground(TNameValueColl& userConfig, TNameValueColl& sysConfig) {
    for (TNameValueColl* config : {&userConfig, &sysConfig}) {
        const std::string file = ExpandPath(PicturesPath(), config->ReadString(ConfigKey::BenchBg));
        if (FileExists(file))
            return file;
    }
    return {};
}

} // namespace qm
