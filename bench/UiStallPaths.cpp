#include "bench/UiStallPaths.h"

#include "bench/StallGate.h"
#include "common/Internet.h"
#include "common/Paths.h"
#include "common/Routing.h"
#include "corvane/Khan.h"
#include "upgrade/FrmDownload.h"
#include "upgrade/MultipartDownloader.h"
#include "upgrade/TaskObj.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QTimer>
#include <dlfcn.h>
#include <exception>
#include <fstream>
#include <memory>

namespace qm::bench {

namespace {

using namespace std::chrono_literals;

// The user clicks abort once the window answers again, though not sooner than this after the call.
constexpr auto kPatience = 2500ms;
// A call of a worker is taken as under way once the silent service has its connection; a name that
// never resolves gives no sign, so the call is given this long.
constexpr auto kUnderWay = 1000ms;
constexpr std::int64_t kPackageBytes = 200LL * 1024 * 1024;

std::string PorlockAddress() {
    return PluginsPath() + "Login/Porlock.dll";
}
std::string SkellowAddress() {
    return AppPath() + "Skellow.dll";
}
std::string UpgradeAddress() {
    return AppPath() + "Upgrade.dll";
}

// ---- Adapters: the only places that read the download window's inner state. ----

// The window waits for a lost network (its reconnect poll runs).
bool NetworkLossShown(TFrmDownload& window) {
    return window.Job() != nullptr && window.Job()->ReconnectTimer()->isActive();
}

// The window's transfer has received bytes.
bool TransferMoving(TFrmDownload& window) {
    return window.Job() != nullptr && window.Job()->Downloader()->SessionBytes() > 0;
}

// ---- Helpers ----

void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Sha256Hex(const std::filesystem::path& file) {
    QFile input(QString::fromStdString(file.string()));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!input.open(QIODevice::ReadOnly) || !hash.addData(&input))
        return {};
    return hash.result().toHex().toStdString();
}

// Sends a request through the bus, timed as the path's call; the answer's "Result", or the error.
std::string InvokeTimed(TUiStallMeter& meter, const std::string& address,
                        const corvane::IDataDocument& request) {
    std::string note;
    meter.Call([&] {
        try {
            const corvane::IDataDocument answer = corvane::Khan().Invoke(address, request);
            note = answer->HasItem("Result")
                       ? "Result " + std::to_string(answer->GetValue("Result").AsInteger())
                       : "no Result";
        } catch (const std::exception& error) {
            note = std::string("error: ") + error.what();
        }
    });
    return note;
}

// Waits (outside the measurement) until the silent service has taken a connection more than
// `before`, or a fixed while when it cannot tell.
void WaitUntilUnderWay(const TStallSetup& setup, int before) {
    if (setup.silentAccepted)
        RunEventsUntil([&] { return setup.silentAccepted() > before; }, 10s);
    else
        RunEventsUntil([] { return false; }, kUnderWay);
}

int AcceptedSoFar(const TStallSetup& setup) {
    return setup.silentAccepted ? setup.silentAccepted() : 0;
}

// A download window shown (offscreen without a display) with one task; gives the task up when it
// goes without having ended.
class TWindowRun {
public:
    TWindowRun(const std::string& url, const std::string& localFile, const std::string& sha256 = {}) {
        task_.URL = url;
        task_.LocalFile = localFile;
        task_.Sha256 = sha256;
        task_.OnDone = [this](TTaskObj&, int state, const std::string& reason) {
            state_ = state;
            reason_ = reason;
        };
        window_.Queue.push_back(&task_);
        window_.show();
        // The first paint loads fonts and the like: not part of any path.
        RunEventsUntil([] { return false; }, 200ms);
    }
    ~TWindowRun() {
        if (!Done()) {
            window_.imgAbortClick();
            RunEventsUntil([this] { return Done(); }, 5s);
        }
    }
    TWindowRun(const TWindowRun&) = delete;
    TWindowRun& operator=(const TWindowRun&) = delete;

    TFrmDownload& Window() { return window_; }
    bool Done() const { return state_ >= 0; }
    std::string Note() const {
        if (!Done())
            return "not ended";
        std::string note = "state " + std::to_string(state_);
        return reason_.empty() ? note : note + " (" + reason_.substr(0, 60) + ")";
    }

private:
    TTaskObj task_; // before the window, which refers to it
    TFrmDownload window_;
    int state_ = -1;
    std::string reason_;
};

// After a call that waits for the network, the user aborts the transfer; the path ends when the
// window reports the task's end.
TStallFigures AbortWhenAnswering(TUiStallMeter& meter, TWindowRun& run) {
    // Waiting with nothing left to wait would let a poll that came due meanwhile run again.
    const double left = std::chrono::duration<double, std::milli>(kPatience).count() - meter.ElapsedMs();
    if (left > 0)
        meter.Wait(std::chrono::milliseconds(static_cast<long long>(left)));
    run.Window().imgAbortClick();
    const bool done = meter.WaitUntil([&] { return run.Done(); }, kPathLimit);
    return meter.Finish(done, run.Note() + ", user aborted after the call");
}

// Whether the library at a bus address is still mapped into the process.
bool LibraryMapped(const std::string& address) {
    void* library = dlopen(corvane::LibraryAddress(address).c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (library != nullptr)
        dlclose(library);
    return library != nullptr;
}

// A plug-in unloaded through the bus while its worker waits for the silent service; the path ends
// once the bus has let the library go.
TStallFigures UnloadWhileWaiting(const std::string& address) {
    auto released = std::make_shared<bool>(false);
    TUiStallMeter meter;
    meter.Call([&] {
        corvane::Khan().UnloadPlugin(address);
        // The bus lets a library go from the event loop; what is posted after that runs once it is.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [released] { *released = true; }, Qt::QueuedConnection);
    });
    const bool done = meter.WaitUntil([&] { return *released; }, kPathLimit);
    return meter.Finish(done, LibraryMapped(address) ? "library still mapped" : "library unloaded");
}

// ---- The paths ----

// The login plug-in loaded before the meter starts: loading a library is not a wait for a service.
void LoadPorlock() {
    corvane::Khan().Invoke(PorlockAddress(), corvane::TakeDataDocument(4, 0));
}

TStallFigures LoginCheck(const TStallSetup& setup) {
    WriteBranding(setup.silentBase);
    LoadPorlock();
    SetSharedValue("Login", "UserName", "bench");
    SetSharedValue("Login", "Password", "bench-pass");
    corvane::IDataDocument request = corvane::TakeDataDocument(7, 0);
    request->SetBoolean("NoLogin", true);
    TUiStallMeter meter;
    const std::string note = InvokeTimed(meter, PorlockAddress(), request);
    return meter.Finish(true, note);
}

TStallFigures LoginPage(const TStallSetup& setup) {
    WriteBranding(setup.silentBase);
    LoadPorlock();
    SetSharedValue("Login", "UserName", "bench");
    SetSharedValue("Login", "Password", "bench-pass");
    corvane::IDataDocument request = corvane::TakeDataDocument(9, 0);
    request->SetBoolean("NoLogin", true);
    request->SetString("Url", setup.silentBase + "/forum");
    TUiStallMeter meter;
    const std::string note = InvokeTimed(meter, PorlockAddress(), request);
    return meter.Finish(true, note);
}

TStallFigures StallTick(const TStallSetup& setup) {
    WriteBranding(setup.silentBase);
    TWindowRun run(setup.silentBase + "/package.bin", (setup.local / "stall.bin").string());
    TUiStallMeter meter;
    meter.Call([&] { run.Window().StartNext(); });
    const bool done = meter.WaitUntil([&] { return run.Done(); }, kPathLimit);
    return meter.Finish(done, run.Note());
}

TStallFigures NetworkWaitTick(const TStallSetup& setup) {
    WriteBranding(setup.silentBase);
    WriteFile(setup.served / "drop.bin", std::string(1 << 20, 'd'));
    TStallGate gate(setup.serverPort);
    TWindowRun run(gate.URL("/drop/drop.bin"), (setup.local / "drop.bin").string());
    run.Window().StartNext();
    if (!RunEventsUntil([&] { return NetworkLossShown(run.Window()); }, 15s))
        return TUiStallMeter().Finish(false, "the window never waited for the network");
    gate.FallSilent();
    TUiStallMeter meter;
    meter.Call([&] { run.Window().Job()->ReconnectTick(); });
    return AbortWhenAnswering(meter, run);
}

TStallFigures ResumeClick(const TStallSetup& setup) {
    WriteBranding(setup.silentBase);
    WriteFile(setup.served / "slow.bin", std::string(4 << 20, 's'));
    TStallGate gate(setup.serverPort);
    TWindowRun run(gate.URL("/slow/slow.bin?rate=100000"), (setup.local / "slow.bin").string());
    run.Window().StartNext();
    if (!RunEventsUntil([&] { return TransferMoving(run.Window()); }, 15s))
        return TUiStallMeter().Finish(false, "the transfer never moved");
    run.Window().imgPauseClick();
    RunEventsUntil([] { return false; }, 500ms);
    gate.FallSilent();
    TUiStallMeter meter;
    meter.Call([&] { run.Window().imgDownClick(); });
    return AbortWhenAnswering(meter, run);
}

TStallFigures PackageVerification(const TStallSetup& setup) {
    WriteBranding(setup.silentBase);
    const std::filesystem::path package = setup.served / "package.bin";
    { std::ofstream create(package, std::ios::binary | std::ios::trunc); }
    std::filesystem::resize_file(package, kPackageBytes); // sparse: quick to make and to serve
    const std::string digest = Sha256Hex(package);
    TStallGate gate(setup.serverPort);
    gate.HoldPathsEndingWith(".sig");
    TStallFigures figures;
    {
        TWindowRun run(gate.URL("/package.bin"), (setup.local / "package.bin").string(), digest);
        TUiStallMeter meter;
        meter.Call([&] { run.Window().StartNext(); });
        const bool done = meter.WaitUntil([&] { return run.Done(); }, kPathLimit);
        figures = meter.Finish(done, run.Note() + ", .sig held: " + (gate.Held() > 0 ? "yes" : "no"));
    }
    std::filesystem::remove(package);
    std::filesystem::remove(setup.local / "package.bin");
    return figures;
}

TStallFigures SkellowClose(const TStallSetup& setup) {
    WriteBranding(setup.silentBase);
    const int before = AcceptedSoFar(setup);
    corvane::IDataDocument event = corvane::TakeDataDocument(301, 0);
    event->SetString("FProductID", "1");
    event->SetString("FProductVer", "0.1.0");
    event->SetString("FBKUser", "bench");
    event->SetString("FFunctionKey", "S2S007S005S100S001");
    event->SetString("LogName", "bench");
    corvane::Khan().Invoke(SkellowAddress(), event);
    WaitUntilUnderWay(setup, before);
    return UnloadWhileWaiting(SkellowAddress());
}

TStallFigures UpgradeClose(const TStallSetup& setup) {
    WriteBranding(setup.silentBase);
    const std::string upgradeText = (setup.local / "Upgrade.txt").string();
    WriteFile(upgradeText, "[upgrade]\nver=1\nurl=" + setup.silentBase + "/Setup.run\n");
    // The check runs only online; this machine's interfaces do not decide a bench.
    SetOnlineOverrideForTesting(true);
    const int before = AcceptedSoFar(setup);
    corvane::IDataDocument check = corvane::TakeDataDocument(1, 0);
    check->SetString("upfile", upgradeText);
    check->SetString("StateFile", (setup.local / "state.ini").string());
    corvane::Khan().Invoke(UpgradeAddress(), check);
    WaitUntilUnderWay(setup, before);
    TStallFigures figures = UnloadWhileWaiting(UpgradeAddress());
    SetOnlineOverrideForTesting(std::nullopt);
    return figures;
}

} // namespace

// The account service's address: plain http is refused for any host but this machine, so the
// host that never resolves is asked for over https (its lookup never ends either way).
std::string AccountAddress(const std::string& base) {
    if (base.rfind("http://127.", 0) == 0)
        return base;
    return "https://" + base.substr(base.find("://") + 3);
}

void WriteBranding(const std::string& base) {
    WriteFile(ConfigPath() + "brennik.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<brennik>"
              "<accountservice_addr>" +
                  AccountAddress(base) +
                  "</accountservice_addr><accountservice_timeout>15</accountservice_timeout>"
                  "<logservice_addr>" +
                  base +
                  "</logservice_addr><logservice_timeout>5</logservice_timeout>"
                  "<update_publickey>" +
                  std::string(64, 'a') + "</update_publickey></brennik>\n");
}

std::vector<TStallPath> LoopbackStallPaths() {
    return {
        {"1", "login check (request 7)", false, LoginCheck},
        {"2", "token page (request 9, Url)", false, LoginPage},
        {"3a", "download: stall tick", false, StallTick},
        {"3b", "download: network-wait tick", true, NetworkWaitTick},
        {"3c", "download: resume click", true, ResumeClick},
        {"4", "package verification, 200 MB", true, PackageVerification},
        {"5a", "unload Skellow, log service hangs", false, SkellowClose},
        {"5b", "unload Upgrade, check under way", false, UpgradeClose},
    };
}

std::vector<TStallPath> UnresolvedNamePaths() {
    return {
        {"6a", "unresolved name: login check", false, LoginCheck},
        {"6b", "unresolved name: stall tick", false, StallTick},
        {"6c", "unresolved name: unload Upgrade", false, UpgradeClose},
    };
}

} // namespace qm::bench
