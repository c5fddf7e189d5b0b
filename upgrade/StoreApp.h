#pragma once

#include <optional>
#include <string>

namespace qm {

// A store application as the store list (the app-store catalogue) offers it.
struct TStoreApp {
    std::string url;    // its installer program
    std::string ver;    // the version on offer, upper-cased
    std::string params; // for the installer, and passed along with an update check
    std::string name;   // shown in the install window's caption
    std::string sha256; // of the installer, hex; "" when the store gives none
};

// Letters a-z upper-cased; every other byte (UTF-8 text among them) as it is.
std::string UpperAscii(std::string text);

// The first "app" element at any depth of the store list (IssueFile) whose "id" equals id, names
// and ids compared without regard to case; a parent comes before its children. Nothing when the
// list is missing or holds no such application; a list that does not parse raises EPlugin. With an
// update key configured, the list's signed text (StoreListText.h) must match the signature in
// "Issue.xml.sig" beside it: a list that does not is refused (logged, EPlugin), whatever is asked;
// and the entry found must name its installer's sha256 (refused, logged, EPlugin, otherwise).
std::optional<TStoreApp> FindStoreApp(const std::string& id);

} // namespace qm
