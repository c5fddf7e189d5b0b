#pragma once

#include "bench/UiStallMeter.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qm::bench {

// Where the paths find their services and folders.
struct TStallSetup {
    // Base address of a service that never answers: "http://127.0.0.1:PORT", or a host name that
    // never resolves.
    std::string silentBase;
    // Connections the silent service has taken so far; empty when it cannot tell (a name that never
    // resolves): a path then gives its call a fixed second to get under way.
    std::function<int()> silentAccepted;
    // The reference server's port (0: none; the paths that pass through to it are then skipped) and
    // the folder it serves.
    int serverPort = 0;
    std::filesystem::path served;
    // Where downloads land.
    std::filesystem::path local;
};

// One path of the network half that may hold up the UI thread.
struct TStallPath {
    std::string id;   // "1", "3a", ...; QM_BENCH_PATHS selects by id or its leading digit
    std::string name; // what the row says
    bool needsServer; // passes through to the reference server
    std::function<TStallFigures(const TStallSetup&)> run;
};

// Every path a time limit after its start gives up on (abort, with "finished" false).
inline constexpr std::chrono::milliseconds kPathLimit{42000};

// The paths against a silent service on 127.0.0.1, in the order they run.
std::vector<TStallPath> LoopbackStallPaths();
// The same kind of paths against a host name that never resolves.
std::vector<TStallPath> UnresolvedNamePaths();

// Writes the installation's brennik.xml: account and logging service at base with their default
// time limits (15 s and 5 s), and an update public key.
void WriteBranding(const std::string& base);

} // namespace qm::bench
