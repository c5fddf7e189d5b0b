#include "sample/publish/taxnotes/PluginTaxNotes.h"

#include "corvane/Errors.h"
#include "corvane/HandleTable.h"
#include "sample/publish/taxnotes/FrmTaxNotes.h"

#include <QApplication>
#include <memory>

namespace qm {

namespace {

constexpr const char* kLocation = "TPluginTaxNotes.REQ_1(const req, res: TBSONDocument)";

} // namespace

TPluginTaxNotes::TPluginTaxNotes() = default;

TPluginTaxNotes::~TPluginTaxNotes() {
    // The window's code lives in this library, so the window goes with it, even from a desk page.
    std::unique_ptr<TfrmTaxNotes> window(notes_.data());
}

void TPluginTaxNotes::REQ_1(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
    if (!notes_) {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
            throw corvane::EPlugin("税务便签需要图形界面程序", kLocation);
        const corvane::TBSONItem* folder = req.Find("folder");
        if (folder == nullptr || folder->AsString().empty())
            throw corvane::EPlugin("税务便签：没有给出应用的文件夹", kLocation);
        QString path = QString::fromStdString(folder->AsString());
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        notes_ = std::make_unique<TfrmTaxNotes>(path).release(); // owned here until a page takes it
    }
    res.SetInteger("inst", corvane::Handles().HandleOf(static_cast<QWidget*>(notes_.data())));
    res.SetInteger("count", notes_->NoteCount());
}

std::span<const corvane::TPublishedMethod> TPluginTaxNotes::PublishedMethods() const noexcept {
    static const corvane::TPublishedMethod methods[] = {CORVANE_PUBLISH(TPluginTaxNotes, REQ_1)};
    return methods;
}

} // namespace qm

CORVANE_EXPORT_PLUGIN(qm::TPluginTaxNotes)
