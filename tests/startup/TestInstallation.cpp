#include "TestInstallation.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace qmtest {

namespace fs = std::filesystem;

namespace {

fs::path MakeTempRoot() {
    std::string pattern = (fs::temp_directory_path() / "qm-startup-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder");
    return pattern;
}

} // namespace

std::string UniqueTitle(const std::string& what) {
    static std::atomic<int> serial{0};
    return "启动测试 " + what + " " + std::to_string(getpid()) + "." + std::to_string(++serial);
}

std::string RecordStatement(const std::string& line) {
    return "plugin_invoke{plugin = \"Recorder.so\", req_id = 1, line = \"" + line + "\"}\n";
}

TTestInstallation::TTestInstallation(const std::string& appTitle)
    : root_(MakeTempRoot()), dir_(root_ / "desk") {
    fs::create_directories(dir_ / "Config");
    // Copies, not links: the host finds its installation from its own resolved executable path.
    fs::copy_file(QM_HOST_FILE, dir_ / "Quillmere");
    fs::copy_file(QM_CORVANE_FILE, dir_ / fs::path(QM_CORVANE_FILE).filename());
    fs::copy_file(QM_RECORDER_FILE, dir_ / "Skellow.so");
    fs::copy_file(QM_RECORDER_FILE, dir_ / "Recorder.so");
    fs::copy_file(QM_FRAME_IMAGES_FILE, dir_ / "Config" / "pngs.sys");
    WriteFile("Config/SysConfig.Xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<params>\r\n<app_title>" + appTitle +
                  "</app_title>\r\n<app_type>" + std::to_string(kTestAppType) +
                  "</app_type>\r\n</params>\r\n");
}

TTestInstallation::~TTestInstallation() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void TTestInstallation::WriteFile(const std::string& relative, const std::string& text) const {
    const fs::path file = dir_ / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

void TTestInstallation::WriteBootXml(const std::vector<std::string>& files) const {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<boot>\r\n";
    for (const std::string& file : files)
        xml += "  <script file=\"" + file + "\"/>\r\n";
    WriteFile("Config/boot.xml", xml + "</boot>\r\n");
}

std::vector<std::string> TTestInstallation::Evidence() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadWholeFile(dir_ / "evidence.txt"));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<fs::path> TTestInstallation::LogFiles() const {
    std::vector<fs::path> files;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_ / "Log", error))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::unique_ptr<THostProcess> TTestInstallation::Start(const std::string& name) const {
    return std::make_unique<THostProcess>(THostProcess::TOptions{
        dir_ / "Quillmere", root_ / (name + ".output.txt"), root_ / (name + ".dialogs.txt"), dir_});
}

} // namespace qmtest
