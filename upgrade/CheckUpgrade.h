#pragma once

#include "common/Result.h"
#include "upgrade/TaskObj.h"
#include "upgrade/UpgradeCheck.h"

#include <optional>
#include <string>
#include <vector>

namespace corvane {
class TStopToken;
}

namespace qm {

// What one update check found. Made on the worker thread without touching any UI object, then
// handed to the upgrade dialog on the UI thread, which queues the tasks and shows itself.
struct TUpdatesDue {
    // The descriptor said "force" = 1 (it sets the dialog's ForceUpgrade even when nothing is due).
    bool Forced = false;
    // The packages due, silent first; none when the component is current (kAlreadyCurrent). Their
    // OnDone is left to the dialog.
    std::vector<TTaskObj> Tasks;
    // Only the silent package is due: it is fetched and applied without any dialog.
    bool StartHidden = false;
    // A main package is due: the dialog shows these release notes (nullopt: keep the notes).
    bool ShowDialog = false;
    std::optional<std::vector<std::string>> Notes;
};

// What a check that found nothing due reports with StateSkipped.
inline constexpr char kAlreadyCurrent[] = "已经是最新版本";

// The outcome of a check: what is due, or a failure whose Code() is the state to report
// (StateSkipped when the descriptor could not be fetched, StateFailed when it was refused by its
// signature, digests or issue serial) with its reason.
using TCheckOutcome = TResult<TUpdatesDue>;

// Fetches the component's update descriptor ("upgrade.zip", INI text, in the folder of its
// "upgrade"/"url") beside its "Upgrade.txt" as ".ini", compares versions and says what is due. The
// descriptor copy is deleted on every path. With an update key configured the descriptor must pass
// AcceptDescriptor (SignedDescriptor.h) first. Blocks on the network: call it on the worker thread;
// stopping stop (when given) ends its network calls at once, as a failed fetch.
TCheckOutcome CheckUpgrade(const TDownload_Upfile& upfile, corvane::TStopToken* stop = nullptr);

// "force" of a descriptor: its trimmed text as a decimal integer; blank or not an integer gives 0.
int ForceValue(const std::string& text);

} // namespace qm
