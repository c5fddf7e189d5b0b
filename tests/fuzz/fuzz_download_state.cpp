#include "tests/fuzz/FuzzScratchFile.h"
#include "upgrade/DownloadState.h"

#include <cstdlib>

namespace {

bool SameState(const qm::TDownloadState& a, const qm::TDownloadState& b) {
    if (a.url != b.url || a.contentLength != b.contentLength || a.etag != b.etag ||
        a.lastModified != b.lastModified || a.parts.size() != b.parts.size())
        return false;
    for (std::size_t i = 0; i < a.parts.size(); ++i) {
        if (a.parts[i].start != b.parts[i].start || a.parts[i].end != b.parts[i].end ||
            a.parts[i].done != b.parts[i].done)
            return false;
    }
    return true;
}

} // namespace

// Any bytes as a paused download's state file. The reader raises nothing; a state it accepts and the
// writer stores must read back the same, or a resumed download would fetch the wrong ranges.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qm::fuzz::TScratchFolder folder("qm_fuzz_download_state");
    const std::string fileName = folder.Write("state.ini", qm::fuzz::Bytes(data, size));
    const auto state = qm::ReadDownloadState(fileName);
    if (!state)
        return 0;
    state->CoversContent();
    const std::string copyName = folder.File("copy.ini");
    if (!qm::WriteDownloadState(copyName, *state))
        return 0;
    const auto copy = qm::ReadDownloadState(copyName);
    if (!copy || !SameState(*state, *copy))
        std::abort();
    return 0;
}
