#pragma once

#include <string>
#include <vector>

// The remembered users "Porlock.xml": a root "Root" with "UserList" (one "User" per remembered user,
// most recent first, each with "Name", "LoginTime" and "PicPath") and "LastUser" ("Name").
namespace qm {

// The "Name" of every "User" in file order; empty when the file is missing or does not load.
std::vector<std::string> ReadRememberedUsers(const std::string& fileName);
// The name under "LastUser"; "" when there is none.
std::string ReadLastUser(const std::string& fileName);

// Records a login of userName at loginTime ("yyyy-MM-dd hh:mm"): nothing for an empty name or the
// last recorded user; otherwise the user moves to the top of the list (an older entry of the same
// name goes) and becomes the last user. A missing file is created, declared "GB2312". A file that
// does not load, or has no "UserList", is left as it is. The file is replaced whole (temporary file
// and rename); a failure raises ETax.
void RecordUser(const std::string& fileName, const std::string& userName, const std::string& loginTime);

} // namespace qm
