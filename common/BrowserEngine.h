#pragma once

namespace qm {

// The desk's language as the browser engine names it: its own texts, its date and number formats
// (date fields show yyyy/mm/dd, the picker 年/月/日) and the language pages are asked for in.
inline constexpr const char* kDeskBrowserLocale = "zh-CN";

// Prepares the process for the embedded browser engine. Call it from the program (never from a
// plug-in, which may be unloaded) before the QApplication is created:
// - the engine draws its pages in software (see invoice/SoftwareRendering.h), so nothing in the
//   desk needs OpenGL: on X11 the platform gets no OpenGL integration, and no OpenGL library or
//   driver is loaded, at start or when a page opens (QT_XCB_GL_INTEGRATION, unless already set);
// - the engine's warnings that only concern OpenGL rendering are kept out of the output;
// - the engine refuses to start as root with its sandbox switched on, so the sandbox is switched
//   off then, and only then;
// - the engine speaks the desk's language, whatever the session's locale is, unless its flags
//   already name one (--lang).
void PrepareBrowserEngine();

// Completes PrepareBrowserEngine once the QApplication exists: the platform settles its OpenGL
// choice now, and the variable that made it is taken back, so that programs the desk starts (a
// web browser, an installer) do not inherit it.
void FinishBrowserEnginePreparation();

} // namespace qm
