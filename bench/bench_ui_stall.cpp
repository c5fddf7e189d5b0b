// How long the UI thread stalls while a path of the network half waits for a service that accepts
// connections and never answers: per path the longest gap between the ticks of a 16 ms timer on the
// UI thread, the time spent inside the calls the bench made on it, and the time until the path
// finished. The plug-ins are the real libraries, loaded through the bus from this program's folder
// (its installation); the download window is the real one.
//
//   bench_ui_stall                 every path
//   QM_BENCH_PATHS=1,3b,5          a subset: ids, or a leading digit for all of its group
//   QM_BENCH_FORMAT=tsv            tab-separated rows (id, name, gap, call, total, finished, note)
//   bench_ui_stall --list          the ids and names of the chosen paths, tab-separated, and nothing else
//
// Time limits: the account service 15 s and the logging service 5 s (their defaults, written into
// Config/brennik.xml); the silent service closes a held connection after 33 s, so that a client
// without a limit of its own (the signature fetch waits 60 s for a byte) still ends; a path that has
// not finished 42 s after its start is given up (its row says so).
//
// Group 6 waits for a host name that never resolves: it runs in a copy of this program in private
// user, mount and network namespaces, where /etc/resolv.conf names a UDP socket on 127.0.0.1 that
// never answers. Without those namespaces the group is skipped and the row says why.
#include "bench/StallGate.h"
#include "bench/UiStallPaths.h"
#include "common/Paths.h"
#include "corvane/Khan.h"
#include "host/UIPlugin.h"
#include "tests/support/ReferenceServer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestPrograms.h"

#include <QApplication>
#include <QProcess>
#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using qm::bench::TStallFigures;
using qm::bench::TStallPath;

constexpr const char* kPrivateResolverFlag = "--private-resolver";
constexpr const char* kUnresolvedHost = "http://silent.quillmere-bench.test:8620";

// The ids QM_BENCH_PATHS names; empty: every path.
class TSelection {
public:
    explicit TSelection(const char* text) {
        std::stringstream list(text ? text : "");
        for (std::string id; std::getline(list, id, ',');) {
            id.erase(std::remove_if(id.begin(), id.end(), [](char c) { return c == ' '; }), id.end());
            if (!id.empty())
                ids_.push_back(id);
        }
    }
    bool Chooses(const std::string& id) const {
        return ids_.empty() || std::ranges::any_of(ids_, [&](const std::string& wanted) {
                   return wanted == id || (wanted.size() == 1 && id.front() == wanted.front());
               });
    }

private:
    std::vector<std::string> ids_;
};

bool TabSeparated() {
    const char* format = std::getenv("QM_BENCH_FORMAT");
    return format != nullptr && std::string(format) == "tsv";
}

void PrintHeader() {
    if (TabSeparated())
        std::printf("id\tpath\tlongest gap ms\tUI call ms\ttotal ms\tfinished\tnote\n");
    else
        std::printf("%-3s %-36s %12s %12s %12s  %s\n", "id", "path", "longest gap", "UI call", "total",
                    "note");
    std::fflush(stdout);
}

void PrintRow(const std::string& id, const std::string& name, const TStallFigures& figures) {
    if (TabSeparated()) {
        std::printf("%s\t%s\t%.0f\t%.0f\t%.0f\t%s\t%s\n", id.c_str(), name.c_str(), figures.longestGapMs,
                    figures.callMs, figures.totalMs, figures.finished ? "yes" : "no", figures.note.c_str());
    } else {
        std::printf("%-3s %-36s %9.0f ms %9.0f ms %9.0f ms  %s%s\n", id.c_str(), name.c_str(),
                    figures.longestGapMs, figures.callMs, figures.totalMs,
                    figures.finished ? "" : "GIVEN UP at the limit; ", figures.note.c_str());
    }
    std::fflush(stdout);
}

void PrintSkipped(const std::string& id, const std::string& why) {
    if (TabSeparated())
        std::printf("%s\tskipped\t\t\t\tno\t%s\n", id.c_str(), why.c_str());
    else
        std::printf("%-3s skipped: %s\n", id.c_str(), why.c_str());
    std::fflush(stdout);
}

void RunPaths(const std::vector<TStallPath>& paths, const TSelection& selection,
              const qm::bench::TStallSetup& setup) {
    for (const TStallPath& path : paths) {
        if (!selection.Chooses(path.id))
            continue;
        if (path.needsServer && setup.serverPort == 0) {
            PrintSkipped(path.id, "needs the reference server");
            continue;
        }
        PrintRow(path.id, path.name, path.run(setup));
    }
}

// The default browser a token page goes to is a script that only records its arguments.
class TRecordingBrowser {
public:
    explicit TRecordingBrowser(const std::filesystem::path& folder) : folder_(folder) {
        std::filesystem::create_directories(folder_ / "bin");
        std::filesystem::create_directories(folder_ / "data/applications");
        WriteScript(Q(folder_ / "bin/xdg-settings"), "printf 'qm-recorder.desktop\\n'\n");
        WriteArgumentRecorder(Q(folder_ / "recorder"), Q(folder_ / "browser-args"));
        WriteTextFile(Q(folder_ / "data/applications/qm-recorder.desktop"),
                      "[Desktop Entry]\nType=Application\nExec=" + (folder_ / "recorder").string() + " %u\n");
    }

private:
    static QString Q(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

    std::filesystem::path folder_;
    TEnvGuard path_{"PATH", (folder_ / "bin").string() + ":/usr/bin:/bin"};
    TEnvGuard dataHome_{"XDG_DATA_HOME", (folder_ / "data").string()};
    TEnvGuard dataDirs_{"XDG_DATA_DIRS", (folder_ / "none").string()};
};

// A name server on 127.0.0.1:53 that takes every question and never answers (private network only).
class TSilentNameServer {
public:
    TSilentNameServer() {
        socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(53);
        bound_ = socket_ >= 0 && ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~TSilentNameServer() {
        if (socket_ >= 0)
            ::close(socket_);
    }
    TSilentNameServer(const TSilentNameServer&) = delete;
    TSilentNameServer& operator=(const TSilentNameServer&) = delete;
    bool Bound() const noexcept { return bound_; }

private:
    int socket_ = -1;
    bool bound_ = false;
};

// Group 6 in a copy of this program inside private namespaces; its rows go straight to stdout.
void RunUnresolvedGroup(const TSelection& selection, const qm::test::TTempFolder& scratch) {
    std::string ids;
    for (const TStallPath& path : qm::bench::UnresolvedNamePaths())
        if (selection.Chooses(path.id))
            ids += (ids.empty() ? "" : ",") + path.id;
    if (ids.empty())
        return;
    const std::filesystem::path resolver = scratch.Path() / "resolv.conf";
    WriteTextFile(QString::fromStdString(resolver.string()),
                  "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n");
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QM_BENCH_PATHS"), QString::fromStdString(ids));
    child.setProcessEnvironment(environment);
    const QString inside = QStringLiteral("PATH=\"$PATH:/usr/sbin:/sbin\" && ip link set lo up && "
                                          "mount --bind \"$1\" /etc/resolv.conf && exec \"$2\" %1")
                               .arg(QString::fromLatin1(kPrivateResolverFlag));
    child.start(QStringLiteral("unshare"),
                {QStringLiteral("--user"), QStringLiteral("--map-root-user"), QStringLiteral("--mount"),
                 QStringLiteral("--net"), QStringLiteral("--"), QStringLiteral("/bin/sh"),
                 QStringLiteral("-c"), inside, QStringLiteral("sh"),
                 QString::fromStdString(resolver.string()),
                 QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string())});
    if (!child.waitForStarted() || !child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0)
        PrintSkipped("6", "private user/mount/network namespaces are not available here (unshare, ip, mount: "
                          "exit code " +
                              std::to_string(child.exitCode()) + ")");
}

} // namespace

int main(int argc, char** argv) {
    const std::string flag = argc > 1 ? argv[1] : "";
    const TSelection selection(std::getenv("QM_BENCH_PATHS"));
    if (flag == "--list") {
        for (const auto& group : {qm::bench::LoopbackStallPaths(), qm::bench::UnresolvedNamePaths()})
            for (const TStallPath& path : group)
                if (selection.Chooses(path.id))
                    std::printf("%s\t%s\n", path.id.c_str(), path.name.c_str());
        return 0;
    }
    const bool privateResolver = flag == kPrivateResolverFlag;
    QApplication app(argc, argv);
    std::filesystem::create_directories(qm::ConfigPath());
    std::filesystem::remove_all(qm::AppPath() + "BKLOG");
    const qm::test::TTempFolder scratch("qm_bench_stall");
    const TRecordingBrowser browser(scratch.Path() / "browser");
    std::filesystem::create_directories(scratch.Path() / "served");
    std::filesystem::create_directories(scratch.Path() / "local");

    qm::bench::TStallSetup setup;
    setup.served = scratch.Path() / "served";
    setup.local = scratch.Path() / "local";
    {
        qm::TUIPlugin host;
        corvane::Khan().SetHostPlugin(&host);
        if (privateResolver) {
            const TSilentNameServer nameServer;
            if (!nameServer.Bound())
                return 3;
            setup.silentBase = kUnresolvedHost;
            RunPaths(qm::bench::UnresolvedNamePaths(), selection, setup);
        } else {
            PrintHeader();
            const qm::bench::TStallGate silent;
            const qm::test::ReferenceServer server(setup.served, {"--test-routes"});
            setup.silentBase = silent.URL("");
            setup.silentAccepted = [&silent] { return silent.Accepted(); };
            setup.serverPort = server.Port();
            RunPaths(qm::bench::LoopbackStallPaths(), selection, setup);
            // Every library goes before the silent service and the server.
            corvane::Khan_Free();
            RunUnresolvedGroup(selection, scratch);
        }
        corvane::Khan_Free();
    }
    std::filesystem::remove(qm::ConfigPath() + "brennik.xml");
    std::filesystem::remove_all(qm::AppPath() + "BKLOG");
    return 0;
}
