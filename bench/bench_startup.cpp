// How long the desk takes from process start until its last boot script has run (the
// "boot scripts finished" milestone on standard error), in a copy of the sample installation,
// against the time a bare frameless Qt window takes from process start to its first paint. Both run
// on the same display, alternately, several times; the medians and their ratio are printed.
// A first start is one with an empty picture cache, as after installing. Next to each wall-time row
// go the CPU time (user + system, all threads) and minor page faults the process had used when it
// was killed at its milestone: they swing far less than wall time between identical runs, so a
// change of a millisecond or two shows in them. Then each desk is started a few times more and left
// running for 2 s after its milestone: its resident memory (VmRSS, and the peak VmHWM) then, and
// the OpenGL drivers it had loaded.
//     bench_startup [--platform xcb|wayland|offscreen] [--runs N] [INSTALLATION...]
// The platform is xcb unless named: on the X server of $DISPLAY, or on an Xvfb the bench starts;
// wayland uses $WAYLAND_DISPLAY's compositor, or a headless weston the bench starts.
#include "bench/DisplayServer.h"
#include "bench/ProgramRun.h"
#include "tests/support/OpenGlLibraries.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Wall times on a shared machine swing by a third between identical starts: the more rounds, the
// less a few slow ones move the medians.
constexpr int kRuns = 31;
constexpr auto kTimeout = std::chrono::seconds(60);
// Starts per desk for its memory, and how long after its milestone it is read.
constexpr int kMemoryRuns = 5;
constexpr auto kMemoryAfter = std::chrono::seconds(2);

class TTempDir {
public:
    TTempDir() {
        std::string pattern = (fs::temp_directory_path() / "qm-bench-startup-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TTempDir() {
        std::error_code ignored;
        if (!path_.empty())
            fs::remove_all(path_, ignored);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

// The sample installation with its own title, so that a desk someone has open does not hold the
// single-instance name.
bool LayOutInstallation(const fs::path& dir) {
    std::error_code error;
    fs::copy(QM_SAMPLE_IMAGE_DIR, dir, fs::copy_options::recursive, error);
    if (error)
        return false;
    fs::copy_file(QM_HOST_FILE, dir / "Quillmere", error);
    fs::copy_file(QM_CORVANE_FILE, dir / fs::path(QM_CORVANE_FILE).filename(), error);
    if (error)
        return false;
    const fs::path config = dir / "Config" / "SysConfig.Xml";
    std::string xml(static_cast<std::size_t>(fs::file_size(config, error)), '\0');
    std::ifstream(config, std::ios::binary).read(xml.data(), static_cast<std::streamsize>(xml.size()));
    const std::string open = "<app_title>";
    const std::size_t start = xml.find(open);
    const std::size_t end = xml.find("</app_title>");
    if (start == std::string::npos || end == std::string::npos || end < start)
        return false;
    xml.replace(start + open.size(), end - start - open.size(),
                "Quillmere bench " + std::to_string(getpid()));
    std::ofstream(config, std::ios::binary | std::ios::trunc) << xml;
    return true;
}

// Starts the program on `display` and answers the seconds until the marker appears on its
// standard error, with the process's CPU time and minor faults; the program is killed then, or
// `linger` later (its memory read then). cacheHome is the program's XDG_CACHE_HOME, where the desk
// keeps its decoded pictures.
std::optional<qm::bench::TProgramRun>
SecondsUntil(const qm::bench::TDisplayServer& display, const fs::path& program, const std::string& marker,
             const fs::path& libraryDir, const fs::path& cacheHome,
             std::chrono::milliseconds linger = std::chrono::milliseconds(0)) {
    std::vector<std::string_view> dropped = display.Dropped();
    dropped.insert(dropped.end(), {"LD_LIBRARY_PATH=", "XDG_CACHE_HOME="});
    std::vector<std::string> added = display.Added();
    added.insert(added.end(),
                 {"LD_LIBRARY_PATH=" + libraryDir.string(), "XDG_CACHE_HOME=" + cacheHome.string()});
    return qm::bench::RunUntil(
        program, qm::bench::EnvironmentWithout(dropped, added),
        [&](const std::string& text) { return text.find(marker) != std::string::npos; }, kTimeout, linger);
}

// A row of figures in milliseconds (or, with `scale` 1 and no decimals, counts) and their median.
void PrintFigures(const char* what, const std::vector<double>& values, double scale, const char* unit,
                  int decimals) {
    std::printf("%-52s median %8.*f %s  (", what, decimals, qm::bench::Median(values) * scale, unit);
    for (std::size_t i = 0; i < values.size(); ++i)
        std::printf("%s%.*f", i == 0 ? "" : " ", decimals, values[i] * scale);
    std::printf(")\n");
}

// The wall-time row as before, then the CPU-time and minor-fault rows of the same starts.
void PrintRow(const char* what, const std::vector<qm::bench::TProgramRun>& starts) {
    std::vector<double> seconds;
    std::vector<double> cpuSeconds;
    std::vector<double> faults;
    for (const qm::bench::TProgramRun& start : starts) {
        seconds.push_back(start.seconds);
        cpuSeconds.push_back(start.cpuSeconds);
        faults.push_back(static_cast<double>(start.minorFaults));
    }
    PrintFigures(what, seconds, 1000, "ms", 1);
    PrintFigures("  CPU time (user + system)", cpuSeconds, 1000, "ms", 1);
    PrintFigures("  minor page faults", faults, 1, "  ", 0);
}

double MedianSeconds(const std::vector<qm::bench::TProgramRun>& starts) {
    std::vector<double> seconds;
    for (const qm::bench::TProgramRun& start : starts)
        seconds.push_back(start.seconds);
    return qm::bench::Median(seconds);
}

// The figures of one desk's memory runs: medians of VmRSS and VmHWM, and the OpenGL drivers
// any of them had loaded.
void PrintMemory(const std::vector<qm::bench::TProgramRun>& runs) {
    std::vector<double> resident;
    std::vector<double> peak;
    std::set<std::string> openGl;
    for (const qm::bench::TProgramRun& run : runs) {
        resident.push_back(static_cast<double>(run.residentKb) / 1024);
        peak.push_back(static_cast<double>(run.peakResidentKb) / 1024);
        openGl.insert(run.openGlLibraries.begin(), run.openGlLibraries.end());
    }
    PrintFigures("  VmRSS 2 s after \"boot scripts finished\"", resident, 1, "MB", 1);
    PrintFigures("  VmHWM (peak) then", peak, 1, "MB", 1);
    std::printf("  OpenGL drivers and integrations mapped then: %s\n",
                openGl.empty() ? "none" : qm::test::JoinedLibraries(openGl).c_str());
}

struct TOptions {
    qm::bench::TPlatform platform = qm::bench::TPlatform::Xcb;
    int runs = kRuns;
    std::vector<fs::path> others;
};

std::optional<TOptions> ParseArguments(int argc, char** argv) {
    TOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--platform" && i + 1 < argc) {
            const auto platform = qm::bench::PlatformNamed(argv[++i]);
            if (!platform)
                return std::nullopt;
            options.platform = *platform;
        } else if (argument == "--runs" && i + 1 < argc) {
            options.runs = std::atoi(argv[++i]);
            if (options.runs <= 0)
                return std::nullopt;
        } else if (argument.starts_with("--")) {
            return std::nullopt;
        } else {
            options.others.push_back(fs::absolute(argument));
        }
    }
    return options;
}

} // namespace

// With installation folders as arguments, the desks there (earlier builds, say) are measured in the
// same runs, so that a change is compared side by side on an equally loaded machine. Each desk is
// measured as it usually starts, with the pictures it decoded before in its cache, and as on its very
// first start, with an empty cache.
int main(int argc, char** argv) {
    const std::optional<TOptions> options = ParseArguments(argc, argv);
    if (!options) {
        std::fprintf(
            stderr, "usage: bench_startup [--platform xcb|wayland|offscreen] [--runs N] [INSTALLATION...]\n");
        return 2;
    }
    const TTempDir temp;
    const fs::path desk = temp.Path() / "desk";
    if (temp.Path().empty() || !LayOutInstallation(desk)) {
        std::fprintf(stderr, "cannot lay out the sample installation from %s\n", QM_SAMPLE_IMAGE_DIR);
        return 1;
    }
    const qm::bench::TDisplayServer display(options->platform);
    if (!display.Ready())
        return 1;
    std::printf("%s\n", display.Description().c_str());
    const fs::path bareWindow = QM_BARE_WINDOW_FILE;
    const std::vector<fs::path>& others = options->others;
    const fs::path cache = temp.Path() / "cache";
    int emptyCaches = 0;
    const auto emptyCache = [&] { return temp.Path() / ("empty-cache-" + std::to_string(++emptyCaches)); };
    const auto start = [&](const fs::path& installation, const fs::path& cacheHome,
                           std::chrono::milliseconds linger = std::chrono::milliseconds(0)) {
        return SecondsUntil(display, installation / "Quillmere", "boot scripts finished", installation,
                            cacheHome, linger);
    };

    // One run of each first, so that all start from a warm file cache; the desks run on for a while,
    // as a desk in use does, so that they fill their picture caches.
    if (!start(desk, cache, std::chrono::seconds(5)) ||
        !SecondsUntil(display, bareWindow, "first paint", desk, cache))
        return 1;
    for (const fs::path& other : others)
        if (!start(other, cache, std::chrono::seconds(5)))
            return 1;

    using TRuns = std::vector<qm::bench::TProgramRun>;
    TRuns deskSeconds;
    TRuns firstStartSeconds;
    TRuns windowSeconds;
    std::vector<TRuns> otherSeconds(others.size());
    std::vector<TRuns> otherFirstStartSeconds(others.size());
    for (int run = 0; run < options->runs; ++run) {
        const auto deskRun = start(desk, cache);
        const auto firstStart = start(desk, emptyCache());
        const auto windowRun = SecondsUntil(display, bareWindow, "first paint", desk, cache);
        if (!deskRun || !firstStart || !windowRun)
            return 1;
        deskSeconds.push_back(*deskRun);
        firstStartSeconds.push_back(*firstStart);
        windowSeconds.push_back(*windowRun);
        for (std::size_t i = 0; i < others.size(); ++i) {
            const auto otherRun = start(others[i], cache);
            const auto otherFirstStart = start(others[i], emptyCache());
            if (!otherRun || !otherFirstStart)
                return 1;
            otherSeconds[i].push_back(*otherRun);
            otherFirstStartSeconds[i].push_back(*otherFirstStart);
        }
    }
    // The memory runs, in turns as well.
    TRuns deskMemory;
    std::vector<TRuns> otherMemory(others.size());
    for (int run = 0; run < kMemoryRuns; ++run) {
        const auto deskRun = start(desk, cache, kMemoryAfter);
        if (!deskRun)
            return 1;
        deskMemory.push_back(*deskRun);
        for (std::size_t i = 0; i < others.size(); ++i) {
            const auto otherRun = start(others[i], cache, kMemoryAfter);
            if (!otherRun)
                return 1;
            otherMemory[i].push_back(*otherRun);
        }
    }

    PrintRow("desk: process start to \"boot scripts finished\"", deskSeconds);
    PrintRow("desk, first start (empty picture cache)", firstStartSeconds);
    PrintRow("bare frameless window: process start to first paint", windowSeconds);
    std::printf("%-52s %8.2f\n", "ratio desk / bare window (medians)",
                MedianSeconds(deskSeconds) / MedianSeconds(windowSeconds));
    std::printf("%-52s %8.2f\n", "ratio first start / bare window (medians)",
                MedianSeconds(firstStartSeconds) / MedianSeconds(windowSeconds));
    PrintMemory(deskMemory);
    for (std::size_t i = 0; i < others.size(); ++i) {
        PrintRow(("desk in " + others[i].string()).c_str(), otherSeconds[i]);
        std::printf("%-52s %8.2f\n", "ratio that desk / bare window (medians)",
                    MedianSeconds(otherSeconds[i]) / MedianSeconds(windowSeconds));
        PrintRow("that desk, first start (empty picture cache)", otherFirstStartSeconds[i]);
        std::printf("%-52s %8.2f\n", "ratio that first start / bare window (medians)",
                    MedianSeconds(otherFirstStartSeconds[i]) / MedianSeconds(windowSeconds));
        PrintMemory(otherMemory[i]);
    }
    return 0;
}
