#pragma once

#include <QWidget>
#include <string>

class QWebEngineProfile;
class QWebEngineView;

namespace qm {

// The user guide window: a browser view of a local HTML page shipped with the installation. It is
// registered in the handle table (control and form) while it lives.
class TfrmHelp : public QWidget {
    Q_OBJECT

public:
    // profile must outlive the window.
    explicit TfrmHelp(QWebEngineProfile& profile, QWidget* parent = nullptr);
    ~TfrmHelp() override;

    // Shows page (an existing local file). Asked for the page it was last asked for, it keeps
    // whatever the user has browsed to since.
    void ShowPage(const std::string& page);
    // The page last asked for; empty before the first.
    const std::string& Page() const noexcept { return page_; }

private:
    std::string page_;
    QWebEngineView* wbHelp = nullptr; // owned by this window
};

} // namespace qm
