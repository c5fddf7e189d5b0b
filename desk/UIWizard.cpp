#include "desk/UIWizard.h"

namespace qm {

TUIWizard::TUIWizard(TPngPack& pngs) : container_(std::make_unique<TUIContainer>(nullptr, pngs)) {
    releaseOnDestroy_ = QObject::connect(container_.get(), &QObject::destroyed, [this] {
        [[maybe_unused]] TUIContainer* destroyedByParent = container_.release();
    });
}

TUIWizard::~TUIWizard() {
    QObject::disconnect(releaseOnDestroy_);
}

} // namespace qm
