#pragma once

#include "common/ControlAlign.h"
#include "common/DefaultBrowser.h"
#include "common/FileVersion.h"

#include <string>

class QWidget;

namespace qm {

// Opens fileName the way the desktop would, without reporting the outcome:
// - a program (an executable file, a file ending ".run" or ".sh", or a name found on PATH) is started
//   detached, with params split into arguments like a shell command line; a ".run" or ".sh" file
//   without the run bit gets it first;
// - a document or folder, or an address with a scheme ("http://...", "mailto:..."), goes to the
//   desktop's default handler; params do not apply there;
// - an empty or missing fileName does nothing.
// parentWindow (may be null) is accepted for the callers' sake: a started program has no owner
// window here.
void ExecuteFile(const std::string& params, QWidget* parentWindow, const std::string& fileName);

// Shows a web address. "http://" is put in front unless url contains "http://" anywhere or
// already starts with a scheme of its own ("https://..."). With useBrowser the default
// browser (GetBrowserPath) is started with the address as its one argument; otherwise the desktop's
// default handler opens it.
void OpenURL(const std::string& url, bool useBrowser);

// Docks form into parent: no window frame of its own, scroll bars where the form scrolls, filling
// the parent's client area (and following its size), shown.
void EmbedForm(QWidget* form, QWidget* parent);

// Makes control a child of parent with the given alignment; its visibility stays as it was.
void EmbedControl(QWidget* control, QWidget* parent, TAlign align);

std::string ToBackslashes(std::string s);
std::string ToSlashes(std::string s);

} // namespace qm
