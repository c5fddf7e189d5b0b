#pragma once

#include "tools/tolva/Extract.h"

namespace qm::tolva {

// In the test build of the tool only (Tolva_Compress_testing.QX), environment variables lower the
// limits or switch one protection layer off, so tests can show each limit and each layer working
// with small archives:
//   TOLVA_TEST_CHECKS=own|library      keep only our checks, or only the library's flags
//   TOLVA_TEST_MAX_ENTRIES, TOLVA_TEST_MAX_BYTES, TOLVA_TEST_FREE_BYTES, TOLVA_TEST_TIME_LIMIT
// The shipped tool reads no environment variables: there this does nothing.
void ApplyTestSwitches(TExtractOptions& options);

} // namespace qm::tolva
