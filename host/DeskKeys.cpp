#include "host/DeskKeys.h"

#include "desk/tabs/TaxPageControl.h"
#include "desk/tabs/TaxTabControlTopPanel.h"
#include "desk/tabs/TaxTabSheet.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <initializer_list>
#include <vector>

namespace qm {

namespace {

void Bind(QWidget& window, std::initializer_list<QKeySequence> keys, const std::function<void()>& act) {
    for (const QKeySequence& key : keys) {
        auto* shortcut = new QShortcut(key, &window); // owned by the window
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, &window, act);
    }
}

} // namespace

void StepPage(TTaxPageControl& pages, int step) {
    std::vector<TTaxTabSheet*> tabbed;
    for (TTaxTabSheet* page : pages.Pages()) {
        if (page->TabVisible())
            tabbed.push_back(page);
    }
    if (tabbed.empty())
        return;
    const auto count = static_cast<int>(tabbed.size());
    const auto shown = std::find(tabbed.begin(), tabbed.end(), pages.ActivePage());
    const int from = shown == tabbed.end() ? (step > 0 ? -1 : 0) : static_cast<int>(shown - tabbed.begin());
    const int to = ((from + step) % count + count) % count;
    pages.FocusPage(*tabbed[static_cast<std::size_t>(to)]);
}

void CloseShownPage(TTaxPageControl& pages) {
    TTaxTabSheet* shown = pages.ActivePage();
    if (shown == nullptr || !pages.HasPage(shown) || !shown->TabVisible() || !shown->BtnCloseVisible())
        return;
    pages.TopPanel().CloseTab(shown->PageIndex());
    if (TTaxTabSheet* next = pages.ActivePage())
        pages.FocusPage(*next);
}

void InstallDeskKeys(QWidget& window, TTaxPageControl& pages) {
    Bind(window, {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
         [&pages] { StepPage(pages, 1); });
    // Shift+Tab arrives as Backtab from most keyboards.
    Bind(window,
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
         [&pages] { StepPage(pages, -1); });
    Bind(window, {QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::CTRL | Qt::Key_F4)},
         [&pages] { CloseShownPage(pages); });
}

} // namespace qm
