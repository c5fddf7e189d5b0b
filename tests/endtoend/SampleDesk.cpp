#include "SampleDesk.h"

#include "desk/tabs/TaxTabControlTopPanel.h"
#include "pictures/PngPack.h"

#include <cstdlib>
#include <regex>
#include <stdexcept>

namespace qmtest {

namespace fs = std::filesystem;

namespace {

const fs::path kSampleImage = QM_SAMPLE_IMAGE_DIR;

// Tells the test what the boot scripts were told of the desk.
const char* const kProbeScript = "local desk = uidesk_data()\nlog(\"desk border \" .. desk.border_pixel)\n";

// The sample's SysConfig.Xml under another title: the single-instance lock is keyed by the title,
// and tests run side by side with each other and with desks started by hand.
std::string RetitledSysConfig(const std::string& title) {
    const std::string sample = ReadWholeFile(kSampleImage / "Config/SysConfig.Xml");
    static const std::regex titleElement("<app_title>[^<]*</app_title>");
    return std::regex_replace(sample, titleElement, "<app_title>" + title + "</app_title>");
}

// Where the desk frame puts its page control in the desk container, and how it sets up the strip.
const QPoint kPageControlAt(3, 18);
constexpr int kMaxTabLength = 128;
constexpr int kRightMargin = 2;

} // namespace

qm::test::TStripLayout DeskStrip(const QRect& window) {
    return {window.width() - 2 * kPageControlAt.x(),
            qm::TTaxTabControlTopPanel::kHeight,
            qm::TTaxTabControlTopPanel::kListButtonWidth,
            kRightMargin,
            kMaxTabLength,
            0};
}

QPoint OnDeskStrip(const QRect& window, QPoint at) {
    return window.topLeft() + kPageControlAt + at;
}

TSampleDesk::TSampleDesk(const TXServer& server, const std::string& extraScript,
                         const std::function<void(const fs::path&)>& prepare, bool watchDialogs)
    : server_(server), installation_(UniqueTitle("endtoend")), watchDialogs_(watchDialogs) {
    const fs::path dir = installation_.Dir();
    const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::create_directories(dir / "Plugins/DeskTools");
    fs::copy(kSampleImage / "Config/Scripts", dir / "Config/Scripts", options);
    fs::copy(kSampleImage / "Config/Skin.Sys", dir / "Config/Skin.Sys", options);
    fs::copy(kSampleImage / "Config/Upgrade.lua", dir / "Config/Upgrade.lua", options);
    fs::copy(kSampleImage / "Pictures", dir / "Pictures", options);
    fs::copy(kSampleImage / "Plugins/Appstore", dir / "Plugins/Appstore", options);
    fs::copy_file(QM_DESKTOOLS_FILE, dir / "Plugins/DeskTools/DeskTools.so");
    fs::create_directories(dir / "Plugins/TopWindow");
    fs::copy_file(QM_TOP_WINDOW_FILE, dir / "Plugins/TopWindow/TopWindow.so");
    fs::copy_file(QM_UPGRADE_FILE, dir / "Upgrade.so");
    fs::copy_file(QM_TOLVA_FILE, dir / "Plugins/Tolva_Compress.QX");
    fs::copy(kSampleImage / "Plugins/Upgrade", dir / "Plugins/Upgrade", options);
    // An ASCII title, so that it reads the same in the file's declared encoding.
    installation_.WriteFile("Config/SysConfig.Xml",
                            RetitledSysConfig("Quillmere endtoend " + dir.parent_path().filename().string()));
    installation_.WriteFile("Config/Scripts/probe.lua", kProbeScript);
    std::vector<std::string> boot = {"Config\\Scripts\\desk.lua", "Config\\Scripts\\bench.lua",
                                     "Config\\Scripts\\probe.lua"};
    if (!extraScript.empty()) {
        installation_.WriteFile("Config/Scripts/extra.lua", extraScript);
        boot.push_back("Config\\Scripts\\extra.lua");
    }
    installation_.WriteBootXml(boot);
    if (prepare)
        prepare(dir);

    host_ = Start("desk");
    if (!host_->WaitForOutput("upgrade script finished"))
        throw std::runtime_error("the desk did not start:\n" + host_->Output());
    std::smatch found;
    const std::string output = host_->Output();
    if (!std::regex_search(output, found, std::regex("desk border (\\d+)")))
        throw std::runtime_error("the probe script did not run:\n" + output);
    border_ = std::stoi(found[1].str());
}

TSampleDesk::~TSampleDesk() = default;

QImage TSampleDesk::Picture(const std::string& name) const {
    const std::string packed = "pack:";
    if (name.rfind(packed, 0) != 0)
        return QImage(QString::fromStdString((Dir() / "Pictures" / name).string()));
    qm::TPngPack pack((Dir() / "Pictures").string());
    pack.LoadFile((Dir() / "Config/pngs.sys").string());
    const qm::TPngPicture* image = pack.TakePNG(name.substr(packed.size()));
    return image != nullptr ? image->Pixels() : QImage();
}

std::unique_ptr<THostProcess> TSampleDesk::Start(const std::string& name) const {
    setenv("DISPLAY", server_.Display().c_str(), 1);
    setenv("QT_LOGGING_RULES", "quillmere.*=true", 1);
    const fs::path runs = Dir().parent_path();
    std::vector<std::string> environment = {"QT_QPA_PLATFORM=xcb"};
    if (!watchDialogs_)
        environment.push_back("QM_TEST_DIALOG_LOG"); // the watcher stays idle without its log
    return std::make_unique<THostProcess>(
        THostProcess::TOptions{Dir() / "Quillmere", runs / (name + ".output.txt"),
                               runs / (name + ".dialogs.txt"), Dir(), environment});
}

int TSampleDesk::Count(const std::string& text) const {
    const std::string output = host_->Output();
    int count = 0;
    for (auto at = output.find(text); at != std::string::npos; at = output.find(text, at + text.size()))
        ++count;
    return count;
}

} // namespace qmtest
