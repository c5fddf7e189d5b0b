#pragma once

#include "common/AsyncTask.h"
#include "upgrade/ExtractOutcome.h"

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>

namespace qm {

// How long the decompression tool may run before it is killed and the extraction fails.
constexpr std::chrono::minutes kExtractionTimeLimit{10};

// Hands an archive to the decompression tool on a thread of its own: PluginsPath() +
// "Tolva_Compress.QX" runs hidden with the arguments X, -Y and the archive's path, in a staging
// folder inside the installation folder (AppPath), and is waited for, at most
// kExtractionTimeLimit (and no longer once the program is stopping). Only when the tool exited 0
// is the staged tree moved into the installation, all or nothing; then the archive is deleted.
// Extractions run one at a time, in the order they were asked for. The result becomes ready once
// the archive is gone; nobody has to wait for it. The requester tells the user of a failure and
// logs it, with its Detail().
std::shared_future<TExtractOutcome> ExtractArchive(const std::string& file);

// The same, done(outcome) posted through gate once the archive is gone (not once the gate's owner
// has closed it).
void ExtractArchive(const std::string& file, std::shared_ptr<TCallBackGate> gate,
                    std::function<void(TExtractOutcome)> done);

// True while an extraction asked for has not ended yet (its archive not yet deleted).
bool ExtractionsPending();

// Waits until every extraction asked for so far has ended. The library calls it when it is
// unloaded, so no extraction thread outlives its code.
void WaitForExtractions();

// Puts the installation back in order after a program killed during an extraction: undoes a
// half-done move and clears the staging folder. Does nothing while an extraction of this process
// runs. Called when the plug-in object is created.
void RecoverInterruptedExtraction();

// Replaces kExtractionTimeLimit; zero restores it.
void SetExtractionTimeLimitForTesting(std::chrono::milliseconds limit);

} // namespace qm
