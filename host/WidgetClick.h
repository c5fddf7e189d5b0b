#pragma once

namespace qm {

class TUIAction;

// The desk's default widget click, given to the desk and bench containers: the widget's request copy
// goes to the plug-in library "plugin" (its "req_id" as the request number), to the host plugin for
// "uip", or, without "plugin", the host runs the Lua file "luaf". A missing library or file raises
// EUI; neither key does nothing.
void DefClick(TUIAction& sender);

} // namespace qm
