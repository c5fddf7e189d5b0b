#pragma once

#include <curl/curl.h>

namespace corvane {
class TStopToken;
}

namespace qm {

// Runs an easy handle to its end, like curl_easy_perform, but stoppable at once from another
// thread: by the process-wide token (the desk closing) and by `own` when given (a worker's owner
// going away). A stopped call answers CURLE_ABORTED_BY_CALLBACK; one asked for after a stop does
// not start. The handle's own time limits still apply.
CURLcode PerformStoppable(CURL* easy, corvane::TStopToken* own = nullptr);

} // namespace qm
