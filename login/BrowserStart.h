#pragma once

#include <string>

namespace qm {

// Starts the default web browser (GetBrowserPath) with address as its one argument, as it is (no
// scheme is added). A browser that cannot be started is not reported.
void StartBrowser(const std::string& address);

} // namespace qm
