#include "upgrade/InstallMyappFrm.h"

#include "common/CallBack.h"
#include "common/Paths.h"
#include "common/Shell.h"
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"
#include "upgrade/FrmDownload.h"
#include "upgrade/ResultCodes.h"

#include <QFont>
#include <QTimer>
#include <memory>

namespace qm {

namespace {

constexpr int kClientWidth = 295;
constexpr int kClientHeight = 59;

} // namespace

TInstallMyappFrm::TInstallMyappFrm(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("InstallMyappFrm"));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(QFont(QStringLiteral("宋体"), 9));
}

TInstallMyappFrm::~TInstallMyappFrm() = default;

void TInstallMyappFrm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_)
        return;
    started_ = true;
    // Queued, so that the job's report always finds the modal loop running.
    QTimer::singleShot(0, this, [this] { FormShow(); });
}

void TInstallMyappFrm::FormShow() {
    auto request = corvane::TakeDataDocument(2, 0);
    request->SetString("LocalFile", LocalFile);
    request->SetString("IntelFile", URL);
    request->SetString("params", Params);
    if (!Sha256.empty())
        request->SetString("sha256", Sha256);
    SetCallBackTarget(*request, *this);
    const corvane::IDataDocument answer = corvane::Khan().Invoke(AppPath() + "Upgrade.dll", request);
    const corvane::TBSONItem* inst = answer->Find("inst");
    auto* window = qobject_cast<TFrmDownload*>(
        inst ? static_cast<QWidget*>(corvane::Handles().Find(inst->AsInteger(), corvane::kHandleForm))
             : nullptr);
    if (window == nullptr) {
        // No job was made (the machine went offline meanwhile): nothing will ever report.
        Outcome = std::to_string(kStateFailed);
        done(QDialog::Accepted);
        return;
    }
    // The job ended while it was being made (its file could not be created): the window has
    // nothing to show, and this one is already done.
    if (!Outcome.empty())
        return;
    download_ = window;
    window->OnCancel = [this] { CancelEvent(); };
    EmbedForm(window, this);
}

void TInstallMyappFrm::CallBack(const corvane::TBSONDocument& req, corvane::TBSONDocument&) {
    Outcome = req.GetValue(kKeyResult).AsString();
    if (Outcome == "3" || Outcome == "4")
        done(QDialog::Accepted);
}

void TInstallMyappFrm::CancelEvent() {
    Outcome = std::to_string(kStateCancelled);
    done(QDialog::Rejected);
}

std::span<const corvane::TPublishedMethod> TInstallMyappFrm::PublishedMethods() const noexcept {
    static const corvane::TPublishedMethod methods[] = {CORVANE_PUBLISH(TInstallMyappFrm, CallBack)};
    return methods;
}

std::string InstallDialog(const std::string& installer, const std::string& url, const std::string& caption,
                          const std::string& params, const std::string& sha256) {
    auto window = std::make_unique<TInstallMyappFrm>();
    window->setWindowTitle(QString::fromStdString(caption));
    window->LocalFile = installer;
    window->URL = url;
    window->Params = params;
    window->Sha256 = sha256;
    window->exec();
    return window->Outcome;
}

} // namespace qm
