#pragma once

#include "upgrade/ResultCodes.h"

#include <cstdint>
#include <functional>
#include <string>

namespace qm {

// One download of the download window's queue. Belongs to whoever created it (an upgrade check, a
// download job); the window only refers to it.
struct TTaskObj {
    std::string URL;
    // Where the file is saved; its extension decides what happens after the download.
    std::string LocalFile;
    // 0 for application installers; 1, 2 or 3 for upgrade packages (3 = forced). Read it through
    // the helpers below.
    int Mode = 0;
    // Command-line parameters when the file is a program.
    std::string Params;
    // An application installer: pause/resume/abort pictures, an abort deletes its file, and
    // finishing it always counts as done.
    bool IsAppInstall = false;
    // Expected SHA-256 of the file (hex); blank: not checked. See PackageIntegrity.h.
    std::string Sha256;
    // The length in bytes the signed descriptor gives; -1: none given. The transfer stops there.
    std::int64_t Length = -1;
    // Offered by an upgrade notice: closing the notice takes it back (a hidden silent package is
    // no notice's).
    bool Offered = false;
    // An offered package the user said 升级 to: only then is it fetched.
    bool Accepted = false;
    // The check (one component's) that queued it, counted from 1; 0 outside checks. Of one
    // check's tasks only the last one's end is reported; another check's tasks report their own.
    int Check = 0;
    // Called once when the task ends with a state that is reported.
    std::function<void(TTaskObj& task, int state, const std::string& reason)> OnDone;

    // A forced upgrade (Mode 3): its abort is a failure, not a cancellation.
    bool IsForced() const noexcept { return Mode == kModeForced; }
    // The state an aborted transfer of this task reports.
    int AbortedState() const noexcept { return IsForced() ? kStateFailed : kStateCancelled; }

    // The modes of upgrade packages.
    static constexpr int kModeInstaller = 0;  // an application installer
    static constexpr int kModeOnePackage = 1; // one package due, or the silent one alone
    static constexpr int kModeBoth = 2;       // the main and the silent package, not forced
    static constexpr int kModeForced = 3;
};

} // namespace qm
