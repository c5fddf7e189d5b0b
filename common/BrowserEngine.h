#pragma once

namespace qm {

// The desk's language as the browser engine names it: its own texts, its date and number formats
// (date fields show yyyy/mm/dd, the picker 年/月/日) and the language pages are asked for in.
inline constexpr const char* kDeskBrowserLocale = "zh-CN";

// Prepares the process for the embedded browser engine. Call it before the QApplication is
// created:
// - the engine shares OpenGL contexts with the rest of the program, which Qt needs to know before
//   the application object exists;
// - the engine refuses to start as root with its sandbox switched on, so the sandbox is switched
//   off then, and only then;
// - the engine speaks the desk's language, whatever the session's locale is, unless its flags
//   already name one (--lang).
void PrepareBrowserEngine();

} // namespace qm
