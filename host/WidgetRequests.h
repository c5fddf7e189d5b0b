#pragma once

#include "corvane/BsonDocument.h"

class QWidget;

namespace qm {

class TUIContainer;
class TUIcon;
class TUIText;
class TUIconText;

// Host requests 4-6: a widget on site from the request's "left", "top", image, text and font keys.
// The widget keeps a copy of the whole request (its "plugin", "req_id" and "luaf" drive the default
// click); with paint it is painted and shown at once. A creation that fails on a key leaves the
// widget appended.
TUIcon& AddIcon(TUIContainer& site, const corvane::TBSONDocument& req, bool paint);
TUIText& AddText(TUIContainer& site, const corvane::TBSONDocument& req, bool paint);
TUIconText& AddIconText(TUIContainer& site, const corvane::TBSONDocument& req, bool paint);

// Host requests 7 and 8: docks the control "inst" on site at "left"/"top" with "width" x "height",
// anchored by the names in "anchors". A stale handle, a page of the page control, site itself or
// one of its ancestors is refused with EPlugin, and nothing moves.
QWidget& DockControl(TUIContainer& site, const corvane::TBSONDocument& req);

} // namespace qm
