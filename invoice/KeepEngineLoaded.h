#pragma once

namespace qm {

// The browser engine cannot be shut down and started again inside one process, and its threads
// keep running once it has started. This library may be unloaded and loaded again (plug-in unload
// requests), so the engine's libraries, which it brought into the process, are pinned there.
void KeepBrowserEngineLoaded();

} // namespace qm
