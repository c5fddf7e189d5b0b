// The desk program itself, started as its own process on the test's display in an installation laid
// out around it: the sample installation with the invoice plug-in and its page. Build machines run
// it as root, where the browser engine only starts when the desk has prepared it before creating
// its application object. A boot script runs the invoice icon's action; the engine must start in the
// desk process and show the search page while the desk goes on.
#include "HostProcess.h"
#include "tests/support/FreePort.h"

#include <algorithm>
#include <curl/curl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace qmtest {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// What the engine's remote-debugging server says once it listens, and when its port was taken.
const std::string kDebuggingServerListens = "Remote debugging server started successfully";
const std::string kDebuggingPortTaken = "Cannot start http server for devtools";

size_t AppendBody(char* data, size_t size, size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

// The body of a GET of url, "" when there is no answer.
std::string HttpGet(const std::string& url) {
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    std::string body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &AppendBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 5L);
    curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
    return curl_easy_perform(curl.get()) == CURLE_OK ? body : std::string();
}

// The <title> of the page file.
std::string TitleInFile(const fs::path& page) {
    std::smatch match;
    const std::string html = ReadWholeFile(page);
    return std::regex_search(html, match, std::regex("<title>([^<]*)</title>")) ? match[1].str()
                                                                                : std::string();
}

// A fresh installation in a temporary folder: the test installation's Config/, Pictures/ and
// Plugins/ (the sample installation with the invoice plug-in and its page), copies of the desk
// program and the runtime library, and the recorder plug-in as the channels plug-in "Skellow.so"
// and as "Recorder.so" for the scripts; both append to evidence.txt in the installation folder.
class TInvoiceDeskInstallation {
public:
    TInvoiceDeskInstallation() {
        std::string pattern = (fs::temp_directory_path() / "qm-invoice-desk-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        root_ = pattern;
        dir_ = root_ / "desk";
        fs::create_directories(dir_);
        for (const char* folder : {"Config", "Pictures", "Plugins"})
            fs::copy(fs::path(QM_INVOICE_DESK_DIR) / folder, dir_ / folder, fs::copy_options::recursive);
        // Copies, not links: the desk finds its installation from its own resolved executable path.
        fs::copy_file(QM_HOST_FILE, dir_ / "Quillmere");
        fs::copy_file(QM_CORVANE_FILE, dir_ / fs::path(QM_CORVANE_FILE).filename());
        fs::copy_file(QM_RECORDER_FILE, dir_ / "Skellow.so");
        fs::copy_file(QM_RECORDER_FILE, dir_ / "Recorder.so");
    }
    ~TInvoiceDeskInstallation() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    TInvoiceDeskInstallation(const TInvoiceDeskInstallation&) = delete;
    TInvoiceDeskInstallation& operator=(const TInvoiceDeskInstallation&) = delete;

    const fs::path& Root() const noexcept { return root_; }
    const fs::path& Dir() const noexcept { return dir_; }
    std::vector<std::string> Evidence() const { return Lines(ReadWholeFile(dir_ / "evidence.txt")); }

private:
    fs::path root_;
    fs::path dir_;
};

bool Contains(const std::vector<std::string>& lines, const std::function<bool(const std::string&)>& match) {
    return std::any_of(lines.begin(), lines.end(), match);
}

// Lays out the desk's scripts in the installation and starts the desk there, with the engine's
// remote-debugging server on port.
std::unique_ptr<THostProcess> StartDesk(const TInvoiceDeskInstallation& desk, int port) {
    // The single-instance lock is keyed by the title; no other desk on this machine may share it.
    WriteFile(desk.Dir() / "Config/SysConfig.Xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<params>\r\n<app_title>发票桌面测试 " +
                  std::to_string(getpid()) +
                  "</app_title>\r\n<app_type>37</app_type>\r\n<bench_title>工作台</bench_title>\r\n"
                  "<bench_bg>bench.png</bench_bg>\r\n</params>\r\n");
    // The sample's own boot scripts build the desk; then the invoice icon's action runs, and the
    // script leaves word whether a desk page now holds the plug-in's window.
    WriteFile(desk.Dir() / "Config/Scripts/open_invoice.lua",
              "runluaf({luaf = \"Config\\\\Scripts\\\\actions\\\\invoice.lua\"})\n"
              "local window = plugin_invoke({plugin = \"Plugins\\\\Invoice\\\\Verrian.dll\", req_id = 1})\n"
              "local page = page_by_winctrl({wctrl_inst = window.inst})\n"
              "plugin_invoke({plugin = \"Recorder.so\", req_id = 1,\n"
              "               line = \"invoice page docked: \" .. tostring(page.page_inst ~= 0)})\n");
    WriteFile(desk.Dir() / "Config/boot.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<boot>\r\n"
                                              "  <script file=\"Config\\Scripts\\desk.lua\"/>\r\n"
                                              "  <script file=\"Config\\Scripts\\bench.lua\"/>\r\n"
                                              "  <script file=\"Config\\Scripts\\open_invoice.lua\"/>\r\n"
                                              "</boot>\r\n");
    return std::make_unique<THostProcess>(
        THostProcess::TOptions{desk.Dir() / "Quillmere",
                               desk.Root() / "output.txt",
                               desk.Root() / "dialogs.txt",
                               desk.Dir(),
                               {"QT_QPA_PLATFORM=xcb",
                                // Whatever switches the sandbox off must be the desk's own doing.
                                "QTWEBENGINE_DISABLE_SANDBOX", "QTWEBENGINE_CHROMIUM_FLAGS",
                                // The engine lists its pages here, so the test can see what it shows.
                                "QTWEBENGINE_REMOTE_DEBUGGING=127.0.0.1:" + std::to_string(port),
                                // The browser profile keeps its storage in the user's folders: fresh ones.
                                "XDG_DATA_HOME=" + (desk.Root() / "data").string(),
                                "XDG_CACHE_HOME=" + (desk.Root() / "cache").string(),
                                "XDG_CONFIG_HOME=" + (desk.Root() / "config").string()}});
}

TEST(InvoiceDeskProcess, InvoiceActionStartsTheBrowserInTheDeskRunAsRootAndShowsTheSearchPage) {
    if (geteuid() != 0)
        GTEST_SKIP() << "runs as root only, as the build machines do";
    // The engine's debugging server cannot bind port 0, so it is given a port that was free a moment
    // ago. When another program took that port in between, the server says so, and the desk starts
    // again afresh on another one.
    std::unique_ptr<TInvoiceDeskInstallation> desk;
    std::unique_ptr<THostProcess> host;
    int port = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        host.reset();
        desk = std::make_unique<TInvoiceDeskInstallation>();
        port = qm::test::FreePort();
        ASSERT_NE(port, 0);
        host = StartDesk(*desk, port);
        WaitUntil(
            [&] {
                return host->OutputContains(kDebuggingServerListens) ||
                       host->OutputContains(kDebuggingPortTaken) || !host->Running();
            },
            60s);
        if (!host->OutputContains(kDebuggingPortTaken))
            break;
    }
    ASSERT_TRUE(host->OutputContains(kDebuggingServerListens)) << host->Output();

    ASSERT_TRUE(host->WaitForOutput("upgrade script finished")) << host->Output();
    EXPECT_TRUE(WaitUntil(
        [&] {
            return Contains(desk->Evidence(),
                            [](const std::string& line) { return line.starts_with("invoice page"); });
        },
        10s));
    const std::vector<std::string> evidence = desk->Evidence();
    EXPECT_TRUE(Contains(evidence, [](const std::string& line) {
        return line == "invoice page docked: true";
    })) << ::testing::PrintToString(evidence);
    EXPECT_TRUE(Contains(
        evidence,
        [](const std::string& line) { return line.starts_with("usage ") && line.ends_with("S104S001"); }))
        << "the invoice window navigated and sent its usage event: " << ::testing::PrintToString(evidence);

    // The engine in the desk process shows the installed search page, loaded up to its title.
    const fs::path page = desk->Dir() / "Plugins/Invoice/html/fpsearch.html";
    const std::string title = TitleInFile(page);
    ASSERT_FALSE(title.empty());
    const std::string listUrl = "http://127.0.0.1:" + std::to_string(port) + "/json/list";
    nlohmann::json shown;
    const bool pageShown = WaitUntil(
        [&] {
            shown = nlohmann::json::parse(HttpGet(listUrl), nullptr, false);
            if (!shown.is_array())
                return false;
            return std::any_of(shown.begin(), shown.end(), [&](const nlohmann::json& target) {
                return target.value("url", "") == "file://" + page.string() &&
                       target.value("title", "") == title;
            });
        },
        60s);
    EXPECT_TRUE(pageShown) << shown.dump() << "\n" << host->Output();

    // The desk goes on: its event loop turns twice more after the page was shown, so a dialog or a crash
    // that showing the page set off has come by then.
    EXPECT_TRUE(host->RoundTrip()) << host->Output();
    EXPECT_TRUE(host->Dialogs().empty()) << host->Dialogs().front().message;
    const std::string output = host->Output();
    for (const char* failure : {"--no-sandbox", "No usable sandbox", "zygote", "initialized from a plugin",
                                "WebEngineContext used before", "FATAL"})
        EXPECT_EQ(output.find(failure), std::string::npos) << failure << " in:\n" << output;
}

} // namespace
} // namespace qmtest
