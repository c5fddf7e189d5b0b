// Package downloads over loopback from the reference server: our download window (five parts)
// against `aria2c -x5 -s5` and `curl` on the same file in one run, each result checked by SHA-256,
// with MB/s and our ratio to each; how long the window's UI went without a 16 ms timer tick during
// its transfer; and against a server that limits every connection, five parts against one.
//
//   bench_download [MEGABYTES] [LIMITED_MEGABYTES] [BYTES_PER_SECOND_PER_CONNECTION]
//
// Defaults: 200 MB; 8 MB at 1000000 bytes a second per connection. The files live in a temporary
// folder. A peer program that is not installed is skipped (bench/setup installs them).
//
// The three take turns for QM_BENCH_ROUNDS rounds (default 5), so that a busy moment of a shared
// machine falls on all of them; the ratios are of the medians. With QM_PERF_CONTROL naming the
// control fifo of `perf record --control fifo:FIFO -D -1`, only our transfers are recorded.
#include "tests/support/ReferenceServer.h"
#include "tests/support/TempFolder.h"
#include "upgrade/FrmDownload.h"
#include "upgrade/MultipartDownloader.h"
#include "upgrade/ResultCodes.h"
#include "upgrade/TaskObj.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <time.h>
#include <vector>

namespace {

constexpr double kMegabyte = 1024.0 * 1024.0;
constexpr int kUiTickMs = 16;

void WriteRandomFile(const std::string& path, std::int64_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::mt19937_64 random(20261208);
    std::vector<std::uint64_t> block(1 << 17);
    for (std::int64_t written = 0; written < size;) {
        std::ranges::generate(block, std::ref(random));
        const auto count =
            std::min<std::int64_t>(size - written, static_cast<std::int64_t>(block.size() * 8));
        out.write(reinterpret_cast<const char*>(block.data()), count);
        written += count;
    }
}

QByteArray Sha256Of(const std::string& path) {
    QFile file(QString::fromStdString(path));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result();
}

// `perf record --control fifo:FIFO -D -1` records only between "enable" and "disable".
class PerfControl {
public:
    PerfControl() {
        if (const char* fifo = std::getenv("QM_PERF_CONTROL"))
            control_.open(fifo);
    }
    void Enable() { Say("enable"); }
    void Disable() { Say("disable"); }

private:
    void Say(const char* command) {
        if (control_.is_open())
            control_ << command << std::endl;
    }
    std::ofstream control_;
};

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Outcome {
    double seconds = 0;
    bool exact = false;
    std::string note;
};

// The download window fetching url into target, shown (offscreen without a display), with a 16 ms
// timer that repaints the window and notes its largest gap.
// The window's result is checked by the caller (outside a profile of the transfer).
Outcome RunWindow(const std::string& url, const std::string& target, int partCount,
                  PerfControl* perf = nullptr) {
    qm::TFrmDownload window;
    window.PartCount = partCount;
    qm::TTaskObj task;
    task.URL = url;
    task.LocalFile = target;
    int state = -1;
    // Waited for in an event loop that sleeps while nothing happens, as the desk's own does.
    QEventLoop transfer;
    task.OnDone = [&state, &transfer](qm::TTaskObj&, int reported, const std::string&) {
        state = reported;
        transfer.quit();
    };
    window.Queue.push_back(&task);
    window.show();
    // The first paint loads fonts and the like: not part of the transfer.
    QEventLoop settling;
    QTimer::singleShot(200, &settling, &QEventLoop::quit);
    settling.exec();

    QElapsedTimer sinceTick;
    qint64 largestGap = 0;
    int ticks = 0;
    QTimer ui;
    QObject::connect(&ui, &QTimer::timeout, [&] {
        largestGap = std::max(largestGap, sinceTick.restart());
        ++ticks;
        window.update();
    });
    const double cpuBefore = ThreadCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    ui.start(kUiTickMs);
    if (perf)
        perf->Enable();
    window.StartNext();
    if (state < 0)
        transfer.exec();
    if (perf)
        perf->Disable();
    Outcome outcome;
    outcome.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const double busy = ThreadCpuSeconds() - cpuBefore;
    ui.stop();
    outcome.exact = state == qm::kStateNone;
    char busyText[32];
    std::snprintf(busyText, sizeof busyText, "%.0f%%", 100.0 * busy / outcome.seconds);
    outcome.note = "UI thread busy " + std::string(busyText) + "; " + std::to_string(ticks) +
                   " ticks of 16 ms, largest gap " + std::to_string(largestGap) + " ms";
    return outcome;
}

// A peer program; nullopt when it is not installed.
std::optional<Outcome> RunPeer(const QString& program, const QStringList& arguments,
                               const std::string& target, const QByteArray& want) {
    if (QStandardPaths::findExecutable(program).isEmpty())
        return std::nullopt;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    process.waitForFinished(-1);
    Outcome outcome;
    outcome.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    outcome.exact =
        process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 && Sha256Of(target) == want;
    return outcome;
}

double Rate(double seconds, std::int64_t bytes) {
    return static_cast<double>(bytes) / kMegabyte / seconds;
}

void Print(const char* who, const Outcome& outcome, std::int64_t bytes) {
    std::printf("  %-22s %7.2f s %8.1f MB/s  sha256 %s  %s\n", who, outcome.seconds,
                Rate(outcome.seconds, bytes), outcome.exact ? "ok" : "WRONG", outcome.note.c_str());
    std::fflush(stdout);
}

double Median(std::vector<double> values) {
    std::ranges::sort(values);
    return values[values.size() / 2];
}

struct Contender {
    const char* label;
    QString program; // empty for ours
    QStringList arguments;
    std::vector<double> seconds{};
    bool exact = true;
    bool missing = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::int64_t size = static_cast<std::int64_t>((argc > 1 ? std::stod(argv[1]) : 200.0) * kMegabyte);
    const std::int64_t limitedSize =
        static_cast<std::int64_t>((argc > 2 ? std::stod(argv[2]) : 8.0) * kMegabyte);
    const long long perConnection = argc > 3 ? std::stoll(argv[3]) : 1000000;
    const int rounds =
        std::max(1, std::getenv("QM_BENCH_ROUNDS") ? std::atoi(std::getenv("QM_BENCH_ROUNDS")) : 5);
    PerfControl perf;

    const qm::test::TTempFolder served("qm_bench_served");
    const qm::test::TTempFolder local("qm_bench_local");
    WriteRandomFile(served.File("package.bin"), size);
    WriteRandomFile(served.File("limited.bin"), limitedSize);
    const QByteArray want = Sha256Of(served.File("package.bin"));
    const QByteArray wantLimited = Sha256Of(served.File("limited.bin"));
    qm::test::ReferenceServer server(served.Path(), {"--test-routes"});
    const std::string url = server.URL("/package.bin");
    const std::string target = local.File("package.bin");

    std::vector<Contender> contenders = {
        {"ours, 5 parts", {}, {}},
        {"aria2c -x5 -s5",
         QStringLiteral("aria2c"),
         {QStringLiteral("-x5"), QStringLiteral("-s5"), QStringLiteral("-q"),
          QStringLiteral("--allow-overwrite=true"), QStringLiteral("-d"),
          QString::fromStdString(local.Path().string()), QStringLiteral("-o"), QStringLiteral("package.bin"),
          QString::fromStdString(url)}},
        {"curl",
         QStringLiteral("curl"),
         {QStringLiteral("-s"), QStringLiteral("-o"), QString::fromStdString(target),
          QString::fromStdString(url)}},
    };
    std::printf("%lld bytes (%.0f MB) over loopback from the reference server, %d rounds\n",
                static_cast<long long>(size), static_cast<double>(size) / kMegabyte, rounds);
    for (int round = 1; round <= rounds; ++round) {
        std::printf("round %d\n", round);
        for (Contender& contender : contenders) {
            std::optional<Outcome> outcome;
            if (contender.program.isEmpty()) {
                outcome = RunWindow(url, target, 5, &perf);
                outcome->exact = outcome->exact && Sha256Of(target) == want;
            } else {
                outcome = RunPeer(contender.program, contender.arguments, target, want);
            }
            std::filesystem::remove(target);
            if (!outcome) {
                contender.missing = true;
                continue;
            }
            Print(contender.label, *outcome, size);
            contender.seconds.push_back(outcome->seconds);
            contender.exact = contender.exact && outcome->exact;
        }
    }
    std::printf("medians\n");
    const double ours = Median(contenders.front().seconds);
    for (const Contender& contender : contenders) {
        if (contender.missing) {
            std::printf("  %-22s not installed: skipped\n", contender.label);
            continue;
        }
        const double median = Median(contender.seconds);
        std::printf("  %-22s %7.3f s %8.1f MB/s  sha256 %s", contender.label, median, Rate(median, size),
                    contender.exact ? "ok" : "WRONG");
        if (!contender.program.isEmpty())
            std::printf("  ours is %.2f times its speed", median / ours);
        std::printf("\n");
    }

    const std::string limitedURL = server.URL("/slow/limited.bin?rate=" + std::to_string(perConnection));
    const std::string limitedTarget = local.File("limited.bin");
    std::printf("%lld bytes with every connection limited to %lld bytes a second\n",
                static_cast<long long>(limitedSize), perConnection);
    Outcome one = RunWindow(limitedURL, limitedTarget, 1);
    one.exact = one.exact && Sha256Of(limitedTarget) == wantLimited;
    Print("ours, 1 part", one, limitedSize);
    std::filesystem::remove(limitedTarget);
    Outcome five = RunWindow(limitedURL, limitedTarget, 5);
    five.exact = five.exact && Sha256Of(limitedTarget) == wantLimited;
    Print("ours, 5 parts", five, limitedSize);
    std::printf("  five parts are %.2f times as fast as one\n", one.seconds / five.seconds);
    const bool allExact = std::ranges::all_of(contenders, [](const Contender& c) { return c.exact; });
    return allExact && one.exact && five.exact ? 0 : 1;
}
