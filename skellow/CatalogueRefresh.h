#pragma once

#include "common/AccountService.h"

#include <string>

namespace qm::skellow {

// Refreshes the store addresses and prices of the app-store catalogue fileName from the account
// service's list for "Dunmo税务" "9.0": for each service, the first entry (root's children in order,
// then theirs) whose "key" equals the product code without regard to case gets "intro_url" = the
// store address and "price_desc" = the price ("0" becomes "免费"). The file is saved in place, in
// its own encoding with CR LF, only when the list has entries. Errors (a missing file, a missing or
// failing service) are raised and leave the file unchanged.
void RefreshCatalogue(const std::string& fileName, IBrennikApi& api);

} // namespace qm::skellow
