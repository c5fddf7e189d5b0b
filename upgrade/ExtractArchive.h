#pragma once

#include <future>
#include <string>

namespace qm {

// Hands an archive to the decompression tool on a thread of its own: PluginsPath() +
// "Tolva_Compress.QX" runs hidden with the arguments X, -Y and the archive's path, in the
// installation folder (AppPath), is waited for, and then the archive is deleted. Extractions run
// one at a time, in the order they were asked for. The result becomes ready once the archive is
// gone and holds the tool's exit code (-1 when it could not be started or crashed); nobody has
// to wait for it.
std::shared_future<int> ExtractArchive(const std::string& file);

// True while an extraction asked for has not ended yet (its archive not yet deleted).
bool ExtractionsPending();

// Waits until every extraction asked for so far has ended. The library calls it when it is
// unloaded, so no extraction thread outlives its code.
void WaitForExtractions();

} // namespace qm
