#pragma once

namespace qm {

// Prepares the process for the embedded browser engine. Call it before the QApplication is
// created:
// - the engine shares OpenGL contexts with the rest of the program, which Qt needs to know before
//   the application object exists;
// - the engine refuses to start as root with its sandbox switched on, so the sandbox is switched
//   off then, and only then.
void PrepareBrowserEngine();

} // namespace qm
