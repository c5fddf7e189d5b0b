#include "sample/deskdemo/PluginDeskTools.h"

#include "corvane/Errors.h"
#include "corvane/HandleTable.h"
#include "sample/deskdemo/FrmFilingCalendar.h"
#include "sample/deskdemo/FrmTaxCalculator.h"

#include <QApplication>
#include <memory>

namespace qm {

namespace {

// The window held by slot, created when there is none. Until a desk page takes it in, it belongs
// to the plugin object (see the destructor).
template <class TForm> TForm& Window(QPointer<TForm>& slot, const char* location) {
    if (slot)
        return *slot;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        throw corvane::EPlugin("桌面工具的窗口需要图形界面程序", location);
    slot = std::make_unique<TForm>().release();
    return *slot;
}

template <class TForm> void Free(QPointer<TForm>& slot) {
    std::unique_ptr<TForm> window(slot.data());
}

} // namespace

TPluginDeskTools::TPluginDeskTools() = default;

TPluginDeskTools::~TPluginDeskTools() {
    // The windows' code lives in this library, so they go with it, even when a desk page holds
    // them; the page then finds its control gone.
    Free(calendar_);
    Free(calculator_);
}

void TPluginDeskTools::REQ_1(const corvane::TBSONDocument&, corvane::TBSONDocument& res) {
    QWidget& window = Window(calendar_, "TPluginDeskTools.REQ_1(const req, res: TBSONDocument)");
    res.SetInteger("inst", corvane::Handles().HandleOf(&window));
}

void TPluginDeskTools::REQ_2(const corvane::TBSONDocument&, corvane::TBSONDocument& res) {
    QWidget& window = Window(calculator_, "TPluginDeskTools.REQ_2(const req, res: TBSONDocument)");
    res.SetInteger("inst", corvane::Handles().HandleOf(&window));
}

std::span<const corvane::TPublishedMethod> TPluginDeskTools::PublishedMethods() const noexcept {
    static const corvane::TPublishedMethod methods[] = {CORVANE_PUBLISH(TPluginDeskTools, REQ_1),
                                                        CORVANE_PUBLISH(TPluginDeskTools, REQ_2)};
    return methods;
}

} // namespace qm

CORVANE_EXPORT_PLUGIN(qm::TPluginDeskTools)
