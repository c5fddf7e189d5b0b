// How long the first click on each sample bench icon takes, from the press until the page or dialog
// it opens is shown and painted (or, for an icon that shows nothing, until the click is handled), in
// a desk that has just started as it usually does (its picture cache filled). Every click is the
// first of its desk: each runs in a desk started for it, with the timer library preloaded. Given
// installation folders, each is measured in turn in every round, so that desks are compared side by
// side on an equally loaded machine; medians are printed per icon.
//     bench_first_click [--platform xcb|wayland|offscreen] INSTALLATION [INSTALLATION...]
// The platform is xcb unless named (on $DISPLAY's X server, or an Xvfb the bench starts with an
// 800 x 600 screen, as offscreen has). QM_BENCH_ICONS picks icons by caption (comma-separated),
// QM_BENCH_ROUNDS sets the rounds (5).
#include "bench/DisplayServer.h"
#include "bench/ProgramRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kRounds = 5;
constexpr auto kTimeout = std::chrono::seconds(30);

// The sample bench's icons and where they are on an 800 x 600 desk (the bench's screen): columns
// 112 pixels apart from x 107, the rows of the three groups at y 216, 368 and 520.
struct TIcon {
    const char* caption;
    int x;
    int y;
};
constexpr TIcon kIcons[] = {
    {"发票查询", 107, 216}, {"应用商店", 219, 216}, {"检查更新", 331, 216}, {"计算器", 443, 216},
    {"日历", 555, 216},     {"用户论坛", 107, 368}, {"产品官网", 219, 368}, {"使用帮助", 331, 368},
    {"登录", 107, 520},     {"注册", 219, 520},     {"账户资料", 331, 520}, {"修改密码", 443, 520},
    {"退出登录", 555, 520},
};

// One measured click, or nothing when the desk did not report one in time.
struct TClick {
    double ms = 0;
    std::string what;
};

// Starts the desk of `installation` with the timer preloaded, clicking at `icon`; answers what the
// timer reported. The desk is killed then. Home, cache and configuration folders are the run's own.
std::optional<TClick> FirstClick(const qm::bench::TDisplayServer& display, const fs::path& installation,
                                 const TIcon& icon, const fs::path& home, int delayMs) {
    std::vector<std::string_view> dropped = display.Dropped();
    dropped.insert(dropped.end(), {"LD_LIBRARY_PATH=", "LD_PRELOAD=", "XDG_CACHE_HOME=", "XDG_CONFIG_HOME=",
                                   "XDG_DATA_HOME=", "HOME=", "BROWSER="});
    std::vector<std::string> added = display.Added();
    added.insert(added.end(), {"LD_LIBRARY_PATH=" + installation.string(),
                               std::string("LD_PRELOAD=") + QM_CLICK_TIMER_FILE,
                               "QM_BENCH_CLICK=" + std::to_string(icon.x) + "," + std::to_string(icon.y),
                               "QM_BENCH_CLICK_DELAY_MS=" + std::to_string(delayMs), "HOME=" + home.string(),
                               "XDG_CACHE_HOME=" + (home / "cache").string(),
                               "XDG_CONFIG_HOME=" + (home / "config").string(),
                               "XDG_DATA_HOME=" + (home / "data").string(),
                               // Pages meant for the web browser go nowhere.
                               "BROWSER=true"});
    std::vector<std::string> environment = qm::bench::EnvironmentWithout(dropped, added);
    const std::string marker = "first click: ";
    const auto lineAt = [&](const std::string& text) {
        const std::size_t at = text.find(marker);
        return at == std::string::npos ? at : text.find('\n', at);
    };
    const auto run = qm::bench::RunUntil(
        installation / "Quillmere", std::move(environment),
        [&](const std::string& text) { return lineAt(text) != std::string::npos; }, kTimeout);
    if (!run) {
        std::fprintf(stderr, "%s: no click reported\n", icon.caption);
        return std::nullopt;
    }
    const std::size_t at = run->errorText.find(marker) + marker.size();
    const std::string line = run->errorText.substr(at, lineAt(run->errorText) - at);
    return TClick{std::strtod(line.c_str(), nullptr), line.substr(line.find(" ms ") + 4)};
}

// Prints a caption padded to `columns` terminal columns (Chinese characters take two).
void PrintPadded(const char* caption, int columns) {
    int width = 0;
    for (const char* c = caption; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if ((byte & 0xC0) != 0x80)
            width += byte >= 0xE0 ? 2 : 1;
    }
    std::printf("%s%*s", caption, std::max(0, columns - width), "");
}

// QM_BENCH_ICONS="日历,产品官网" measures only those icons; all of them without it.
bool Chosen(const char* caption) {
    const char* wanted = std::getenv("QM_BENCH_ICONS");
    if (wanted == nullptr || *wanted == '\0')
        return true;
    const std::string list = std::string(",") + wanted + ",";
    return list.find(std::string(",") + caption + ",") != std::string::npos;
}

} // namespace

int main(int argc, char** argv) {
    const auto usage = [] {
        std::fprintf(
            stderr,
            "usage: bench_first_click [--platform xcb|wayland|offscreen] INSTALLATION [INSTALLATION...]\n");
        return 2;
    };
    qm::bench::TPlatform platform = qm::bench::TPlatform::Xcb;
    std::vector<fs::path> installations;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) != "--platform") {
            installations.push_back(fs::absolute(argv[i]));
            continue;
        }
        const auto named = i + 1 < argc ? qm::bench::PlatformNamed(argv[++i]) : std::nullopt;
        if (!named)
            return usage();
        platform = *named;
    }
    if (installations.empty())
        return usage();
    const qm::bench::TDisplayServer display(platform);
    if (!display.Ready())
        return 1;
    std::string pattern = (fs::temp_directory_path() / "qm-bench-click-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        return 1;
    const fs::path scratch = pattern;
    const char* roundsWanted = std::getenv("QM_BENCH_ROUNDS");
    const int rounds =
        roundsWanted != nullptr && std::atoi(roundsWanted) > 0 ? std::atoi(roundsWanted) : kRounds;

    // seconds[installation][icon] over the rounds; what[...] the last outcome's description.
    std::vector<std::vector<std::vector<double>>> seconds(
        installations.size(), std::vector<std::vector<double>>(std::size(kIcons)));
    std::vector<std::vector<std::string>> what(installations.size(),
                                               std::vector<std::string>(std::size(kIcons)));
    int failures = 0;
    // Round 0 fills each desk's picture cache, as a desk in use has it; it is not counted.
    for (int round = 0; round <= rounds; ++round) {
        for (std::size_t icon = 0; icon < std::size(kIcons); ++icon) {
            if (!Chosen(kIcons[icon].caption))
                continue;
            for (std::size_t i = 0; i < installations.size(); ++i) {
                const fs::path home = scratch / ("home-" + std::to_string(i));
                // Each run has the folders its desk wrote before (the cache) but no login of earlier runs.
                std::error_code ignored;
                fs::remove_all(installations[i] / "Plugins" / "Login" / "Porlock.xml", ignored);
                // The warm-up's desks live past the moment the decoded pictures are written.
                const std::optional<TClick> click =
                    FirstClick(display, installations[i], kIcons[icon], home, round == 0 ? 4000 : 1500);
                if (!click) {
                    ++failures;
                    continue;
                }
                if (round > 0)
                    seconds[i][icon].push_back(click->ms);
                what[i][icon] = click->what;
            }
        }
    }
    std::printf("%s\n", display.Description().c_str());
    std::printf("first click, press to shown and painted (ms, median of %d)\n", rounds);
    std::printf("%-14s", "icon");
    for (std::size_t i = 0; i < installations.size(); ++i)
        std::printf(" %10s", ("desk " + std::to_string(i + 1)).c_str());
    if (installations.size() == 2)
        std::printf(" %10s", "2 - 1");
    std::printf("  outcome (desk 1 | desk 2 ...)\n");
    for (std::size_t icon = 0; icon < std::size(kIcons); ++icon) {
        if (!Chosen(kIcons[icon].caption))
            continue;
        PrintPadded(kIcons[icon].caption, 14);
        std::vector<double> medians;
        for (std::size_t i = 0; i < installations.size(); ++i) {
            medians.push_back(seconds[i][icon].empty() ? -1 : qm::bench::Median(seconds[i][icon]));
            std::printf(" %10.2f", medians.back());
        }
        if (installations.size() == 2)
            std::printf(" %+10.2f", medians[1] - medians[0]);
        std::printf(" ");
        for (std::size_t i = 0; i < installations.size(); ++i)
            std::printf(" %s%s", i == 0 ? "" : "| ", what[i][icon].c_str());
        std::printf("\n");
    }
    for (std::size_t i = 0; i < installations.size(); ++i)
        std::printf("desk %zu: %s\n", i + 1, installations[i].c_str());
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    return failures == 0 ? 0 : 1;
}
