#pragma once

#include "desk/UIContainer.h"
#include "pictures/PngPack.h"

#include <QMetaObject>
#include <memory>

namespace qm {

// Owns one desk container. The container starts without a parent; whoever shows it gives it one.
// Should that parent be destroyed first (and take the container with it), the wizard lets go.
class TUIWizard {
public:
    explicit TUIWizard(TPngPack& pngs = PngPack());
    ~TUIWizard();
    TUIWizard(const TUIWizard&) = delete;
    TUIWizard& operator=(const TUIWizard&) = delete;

    // Null only after a parent widget has destroyed the container.
    TUIContainer* Container() const noexcept { return container_.get(); }

private:
    std::unique_ptr<TUIContainer> container_;
    QMetaObject::Connection releaseOnDestroy_;
};

} // namespace qm
