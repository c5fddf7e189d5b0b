#pragma once

#include "common/Configs.h"
#include "common/NameValueColl.h"
#include "desk/FrmBase.h"
#include "desk/UIWizard.h"
#include "pictures/PngPack.h"

#include <memory>

namespace qm {

// The bench background the configurations name: the user's "bench_bg" when that file exists, else
// the system's; "" when neither exists.
std::string ConfiguredBenchBackground(TNameValueColl& userConfig, TNameValueColl& sysConfig);

// The workbench: a painted container without border, title bar or status bar that fills the form,
// with its background picture taken from the configuration ("bench_bg").
class TFrmBench : public TFrmBase {
    Q_OBJECT

public:
    // The configurations and the image store must outlive the form.
    explicit TFrmBench(QWidget* parent = nullptr, TNameValueColl& userConfig = UserConfig(),
                       TNameValueColl& sysConfig = SysConfig(), TPngPack& pngs = PngPack());
    ~TFrmBench() override;

    // The container scripts place widgets and controls on.
    TUIContainer& BenchContainer() const;

    void FormCreate();
    void FormDestroy();

private:
    // The first of the user's and the system's "bench_bg" that names an existing file; "" if none.
    std::string ConfiguredBackground() const;

    TNameValueColl& userConfig_;
    TNameValueColl& sysConfig_;
    TPngPack& pngs_;
    std::unique_ptr<TUIWizard> wizard_;
};

} // namespace qm
