#pragma once

#include "corvane/Plugin.h"

#include <QDialog>
#include <QPointer>
#include <string>

namespace qm {

class TFrmDownload;

// The small modal window in which a store application is downloaded and installed: it asks this
// library for a download job (request 2) and docks the job's download window. It is also a plugin
// object, so that the job can report to it by the callback convention.
class TInstallMyappFrm : public QDialog, public corvane::TClientPlugin {
    Q_OBJECT

public:
    explicit TInstallMyappFrm(QWidget* parent = nullptr);
    ~TInstallMyappFrm() override;

    std::string URL;
    std::string Params;
    std::string LocalFile;
    // Of the installer, hex; "" when the store gives none.
    std::string Sha256;
    // "3" (installed), "4" (failed), "98" (aborted), or "" (never started).
    std::string Outcome;

    // The job's report: Outcome := "Result"; 3 and 4 end the window with OK.
    void CallBack(const corvane::TBSONDocument& req, corvane::TBSONDocument& res);
    // The user aborted the download, or the connection failed: Outcome "98", ended with Cancel.
    void CancelEvent();

    // The docked download window while it lives.
    TFrmDownload* DownloadWindow() const noexcept { return download_.data(); }

    // The window has no close box; Esc does not close it either.
    void reject() override {}

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override;
    void showEvent(QShowEvent* event) override;

private:
    // Starts the download job and docks its window; runs once the modal loop runs.
    void FormShow();

    QPointer<TFrmDownload> download_;
    bool started_ = false;
};

// Downloads installer from url into its file and runs it with params in a modal install window
// captioned caption; sha256 (hex or "") is what the file must hash to. Answers the window's Outcome.
std::string InstallDialog(const std::string& installer, const std::string& url, const std::string& caption,
                          const std::string& params, const std::string& sha256);

} // namespace qm
