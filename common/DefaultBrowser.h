#pragma once

#include <string>
#include <vector>

namespace qm {

// The program of the desktop's default web browser: the Exec program of the desktop entry that
// "xdg-settings get default-web-browser" names, looked up in the XDG data folders. "xdg-open" when
// there is none (no xdg-settings, no default set, no such entry, or no answer from xdg-settings
// within half a second). Looked up once per process, shared by every deliverable: while the
// look-up ahead (StartBrowserPathLookup) is still running the answer is "xdg-open" at once, which
// hands an address to the same default browser; without a look-up ahead the first call looks up.
std::string GetBrowserPath();

// Starts the one look-up on a worker thread, so that no later call waits for xdg-settings. Does
// nothing when the answer is known or a look-up is under way.
void StartBrowserPathLookup();

// Makes the next GetBrowserPath look the browser up again (after a running look-up has ended).
void ForgetBrowserPathForTesting();

// The XDG data folders in search order: $XDG_DATA_HOME (default ~/.local/share), then
// $XDG_DATA_DIRS (default /usr/local/share:/usr/share). Relative entries are ignored.
std::vector<std::string> XdgDataDirs();

// The file of desktop entry desktopId ("web-browser.desktop") under the "applications" folder of
// the first data folder that has it. As desktop entry ids do, a "-" may stand for a sub-folder
// ("kde-web.desktop" may be "applications/kde/web.desktop"). "" when none has it.
std::string FindDesktopEntry(const std::string& desktopId, const std::vector<std::string>& dataDirs);

// The program that the Exec key of the file's [Desktop Entry] group starts: its first word, with
// quoting and escapes resolved, skipping a leading "env" and its VAR=value assignments. "" when
// the file or the key is missing.
std::string DesktopEntryProgram(const std::string& desktopFile);

// FindDesktopEntry, then DesktopEntryProgram; "" when either finds nothing.
std::string BrowserFromDesktopEntry(const std::string& desktopId, const std::vector<std::string>& dataDirs);

} // namespace qm
