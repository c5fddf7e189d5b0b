#pragma once

#include <QAccessible>

class QObject;
class QString;

namespace qm {

class TTaxTabControlTopPanel;

// The accessibility interface of a tab strip (a page-tab list with one page tab per shown tab) or
// of a page (a pane named like its tab); null for any other class.
QAccessibleInterface* TabStripInterface(const QString& className, QObject* object);

// Tells assistive technology that the strip's tabs changed (captions, order, shown, close
// buttons): the tabs it knew are gone and the strip's tabs are new.
void AnnounceTabsChanged(TTaxTabControlTopPanel& strip);
// Tells assistive technology that tab `from` lost and tab `to` got the selection (-1: none).
void AnnounceTabSelected(TTaxTabControlTopPanel& strip, int from, int to);

} // namespace qm
