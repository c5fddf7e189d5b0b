// The sample's boot scripts run on the real script engine against a desk of several window sizes.
// The program runs from a copy of the sample installation, which is its application folder, so
// picture and script names resolve exactly as they do in an installation. The copy carries the
// real login plug-in: its dialogs come up on the offscreen platform and are closed at once, and
// the default browser is a script that records the address it is given.
#include "RecordingDesk.h"
#include "SampleFiles.h"
#include "common/AccountService.h"
#include "common/Paths.h"
#include "corvane/Khan.h"
#include "corvane/TextCase.h"
#include "host/TaxLua.h"
#include "pictures/PngPack.h"
#include "tests/support/ReferenceServer.h"
#include "tests/support/TestPrograms.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QRectF>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <httplib.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <lua.hpp>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using corvane::TBSONDocument;

struct TDeskSize {
    int width;
    int height;
};

std::ostream& operator<<(std::ostream& out, const TDeskSize& size) {
    return out << size.width << "x" << size.height;
}

// The files boot.xml lists, resolved against the application folder as the start-up does.
std::vector<std::string> BootScripts() {
    std::vector<std::string> scripts;
    const std::string file = qm::ConfigPath() + "boot.xml";
    xmlDoc* doc = xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET);
    if (doc == nullptr)
        return scripts;
    for (xmlNode* child = xmlDocGetRootElement(doc)->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        xmlChar* name = xmlGetProp(child, reinterpret_cast<const xmlChar*>("file"));
        scripts.push_back(
            qm::ExpandPath(qm::AppPath(), name != nullptr ? reinterpret_cast<const char*>(name) : ""));
        xmlFree(name);
    }
    xmlFreeDoc(doc);
    return scripts;
}

std::string Text(const TBSONDocument& doc, const char* key) {
    return doc.HasItem(key) ? doc.GetValue(key).AsString() : "";
}

// A rough extent of a text without a font at hand: wide characters one em, others 0.6 em, and a
// line height of 1.25 em, at 96 pixels per inch. Enough to tell whether texts run into each other.
QSizeF EstimatedTextSize(const TBSONDocument& doc) {
    const double points = doc.HasItem("fontsize") ? doc.GetValue("fontsize").AsFloat() : 10.0;
    const double em = points * 96.0 / 72.0;
    double ems = 0.0;
    const std::string text = Text(doc, "text");
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        ems += length >= 3 ? 1.0 : 0.6;
        i += length;
    }
    return QSizeF(ems * em, 1.25 * em);
}

// Closes every modal window as soon as it is up, as a user who cancels would, and keeps the
// windows' titles.
class TModalCloser {
public:
    TModalCloser() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible())
                return;
            titles_.push_back(modal->windowTitle().toStdString());
            modal->close();
        });
        timer_.start();
    }
    TModalCloser(const TModalCloser&) = delete;
    TModalCloser& operator=(const TModalCloser&) = delete;

    // The titles of the windows closed since the last call.
    std::vector<std::string> Take() { return std::exchange(titles_, {}); }

private:
    QTimer timer_;
    std::vector<std::string> titles_;
};

// The desktop's default browser, for as long as the object lives: a script that writes its
// arguments into a file.
class TRecordingBrowser {
public:
    TRecordingBrowser() {
        QDir().mkpath(dir_.filePath(QStringLiteral("bin")));
        QDir().mkpath(dir_.filePath(QStringLiteral("data/applications")));
        WriteScript(dir_.filePath(QStringLiteral("bin/xdg-settings")), "printf 'qm-recorder.desktop\\n'\n");
        const QString recorder = dir_.filePath(QStringLiteral("recorder"));
        WriteArgumentRecorder(recorder, Output());
        WriteTextFile(dir_.filePath(QStringLiteral("data/applications/qm-recorder.desktop")),
                      "[Desktop Entry]\nType=Application\nExec=" + recorder.toStdString() + " %u\n");
    }

    // The arguments of the one start since the last call; empty when there was none within a few
    // seconds.
    QStringList TakeArguments() {
        const QStringList arguments = WaitForLines(Output(), std::chrono::seconds(5));
        QFile::remove(Output());
        return arguments;
    }
    bool Started() const { return QFile::exists(Output()); }

private:
    QString Output() const { return dir_.filePath(QStringLiteral("arguments")); }

    QTemporaryDir dir_;
    TEnvGuard path_{"PATH", dir_.filePath(QStringLiteral("bin")).toStdString() + ":/usr/bin:/bin"};
    TEnvGuard dataHome_{"XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")).toStdString()};
    TEnvGuard dataDirs_{"XDG_DATA_DIRS", dir_.filePath(QStringLiteral("none")).toStdString()};
};

// What clicking an action of the sample does when nobody is logged in and every dialog is
// cancelled: the dialog that comes up, the address the browser is given, and the line logged.
struct TClickEffect {
    std::string dialog;
    std::string address;
    std::string logLine;
};

const std::map<std::string, TClickEffect>& AccountClickEffects() {
    // The page addresses are those of the installed brennik.xml, "\yu" read as "&".
    static const std::map<std::string, TClickEffect> effects = {
        {"login.lua", {"登录", "", "登录: 未登录"}},
        {"register.lua", {"注册", "", "注册: 未注册"}},
        {"account.lua",
         {"登录", "http://127.0.0.1:8620/account.html", "账户资料: 打开账户资料页面（未登录）"}},
        {"password.lua",
         {"登录", "http://127.0.0.1:8620/password.html", "修改密码: 打开修改密码页面（未登录）"}},
        {"logout.lua", {"", "", "退出登录: 没有已登录的用户"}},
        {"forum.lua",
         {"登录", "http://127.0.0.1:8620/forum.html?board=help&from=desk", "用户论坛: 打开论坛"}},
        {"home.lua", {"", "http://127.0.0.1:8620/home.html", "产品官网: 打开官网首页"}},
    };
    return effects;
}

struct TPlacedWidget {
    std::string what;
    std::string site;
    std::vector<QRectF> boxes;
};

class SampleBootScripts : public ::testing::TestWithParam<TDeskSize> {
protected:
    void SetUp() override {
        desk_ = std::make_unique<TRecordingDesk>(GetParam().width, GetParam().height);
        corvane::Khan().SetHostPlugin(desk_.get());
    }
    void TearDown() override {
        qm::FreeTaxLua();
        corvane::Khan().Free();
    }

    void RunBootScripts() {
        const std::vector<std::string> scripts = BootScripts();
        ASSERT_FALSE(scripts.empty());
        for (const std::string& script : scripts) {
            ASSERT_TRUE(qm::FileExists(script)) << script;
            ASSERT_EQ(qm::TaxLua().RunFile(script), 0) << script << ": " << qm::TaxLua().LastScriptError();
        }
        // As the desk does once the boot scripts have run: the bench's own layout at its size.
        const lua_Number bench[] = {static_cast<lua_Number>(desk_->BenchSize().width()),
                                    static_cast<lua_Number>(desk_->BenchSize().height())};
        ASSERT_TRUE(qm::TaxLua().CallGlobalFunction("bench_layout", bench));
        ASSERT_EQ(qm::TaxLua().LastScriptError(), "");
    }

    QSize ContainerOf(const std::string& site) const {
        return corvane::SameText(site, "bench") ? desk_->BenchSize() : desk_->DeskSize();
    }

    // Where the desk puts a widget: negative positions count from the right and bottom edges.
    QPointF Position(const TBSONDocument& doc) const {
        const QSize size = ContainerOf(Text(doc, "site"));
        const int left = doc.GetValue("left").AsInteger();
        const int top = doc.GetValue("top").AsInteger();
        return QPointF((size.width() + left) % size.width(), (size.height() + top) % size.height());
    }

    // The areas a widget covers: its picture, and its caption beside or below it.
    TPlacedWidget Place(const TRecordingDesk::TWidgetRequest& widget) const {
        const TBSONDocument& doc = widget.doc;
        TPlacedWidget placed{
            Text(doc, "text").empty() ? Text(doc, "png_nor") : Text(doc, "text"), Text(doc, "site"), {}};
        const QPointF at = Position(doc);
        if (widget.number == 5) {
            placed.boxes.push_back(QRectF(at, EstimatedTextSize(doc)));
            return placed;
        }
        const qm::TPngPicture* picture = qm::PngPack().TakePNG(Text(doc, "png_nor"));
        const QRectF icon(at, QSizeF(picture->size()));
        placed.boxes.push_back(icon);
        if (widget.number == 6) {
            const QSizeF caption = EstimatedTextSize(doc);
            if (doc.GetValue("align").AsInteger() != 0)
                placed.boxes.push_back(QRectF(
                    QPointF(icon.right() + 2, icon.top() + (icon.height() - caption.height()) / 2), caption));
            else
                placed.boxes.push_back(QRectF(
                    QPointF(icon.left() - (caption.width() - icon.width()) / 2, icon.bottom() + 3), caption));
        }
        return placed;
    }

    // What a click on the widget does: the request goes to the host, numbered by "req_id".
    void Click(const TBSONDocument& params) {
        TBSONDocument doc(params);
        const std::string plugin = doc.GetValue("plugin").AsString();
        ASSERT_TRUE(corvane::SameText(plugin, "uip")) << "the sample's widgets only talk to the desk";
        doc.SetInteger(std::string(corvane::kReqCmd), doc.GetValue("req_id").AsInteger());
        desk_->Invoke(doc);
    }

    // Whether the action file docks a window into a desk page, or asks the upgrade plug-in (whose
    // windows and downloads need the real desk and the update server).
    static bool OpensAPage(const std::string& file) {
        EXPECT_TRUE(qm::FileExists(file)) << file;
        const std::string text = sample::ReadBytes(file);
        return text.find("page_focornew_by_winctrl") != std::string::npos ||
               text.find("\"Upgrade.dll\"") != std::string::npos;
    }

    std::unique_ptr<TRecordingDesk> desk_;
    TRecordingBrowser browser_;
};

TEST_P(SampleBootScripts, BuildTheDeskAndTheBench) {
    RunBootScripts();
    int onDesk = 0;
    int iconsOnBench = 0;
    for (const auto& widget : desk_->Widgets()) {
        const bool bench = corvane::SameText(Text(widget.doc, "site"), "bench");
        onDesk += bench ? 0 : 1;
        iconsOnBench += bench && widget.number == 6 ? 1 : 0;
    }
    EXPECT_GE(onDesk, 3) << "title and status bar";
    EXPECT_GE(iconsOnBench, 13) << "the desk's functions";
    // The bench shows its tab, so that it can be reached while other pages are open.
    ASSERT_EQ(desk_->TabRequests().size(), 1u);
    const TBSONDocument& tab = desk_->TabRequests().front();
    EXPECT_FALSE(tab.HasItem("caption")) << "a caption would be looked up first";
    EXPECT_EQ(Text(tab, "name"), "tbBench");
    EXPECT_EQ(tab.GetValue("visible").AsInteger(), 1);
}

TEST_P(SampleBootScripts, NamePicturesFoundInTheInstallation) {
    RunBootScripts();
    std::set<std::string> packed;
    for (const sample::TPackEntry& entry : sample::ReadPackFile(qm::PngPackFile()))
        packed.insert(entry.name);

    for (const auto& widget : desk_->Widgets()) {
        if (widget.number == 5)
            continue;
        for (const char* key : {"png_nor", "png_mov"}) {
            const std::string picture = Text(widget.doc, key);
            if (picture.empty() && std::string(key) == "png_mov")
                continue;
            // Script picture names become full names below Pictures/ when that file exists there.
            EXPECT_EQ(picture.rfind(qm::PicturesPath(), 0), 0u) << key << " = " << picture;
            EXPECT_FALSE(QImage(QString::fromStdString(picture)).isNull()) << picture;
            EXPECT_TRUE(packed.count(fs::path(picture).filename().string())) << picture << " is not packed";
        }
        const qm::TPngPicture* normal = qm::PngPack().TakePNG(Text(widget.doc, "png_nor"));
        if (!Text(widget.doc, "png_mov").empty()) {
            EXPECT_EQ(qm::PngPack().TakePNG(Text(widget.doc, "png_mov"))->size(), normal->size())
                << "hover picture of " << Text(widget.doc, "png_nor") << " has another size";
        }
    }
}

TEST_P(SampleBootScripts, LayOutWidgetsWithoutOverlapsInsideTheirContainers) {
    RunBootScripts();
    std::vector<TPlacedWidget> placed;
    for (const auto& widget : desk_->Widgets())
        placed.push_back(Place(widget));

    for (std::size_t i = 0; i < placed.size(); ++i) {
        const TPlacedWidget& widget = placed[i];
        const QSize container = ContainerOf(widget.site);
        const bool onDesk = !corvane::SameText(widget.site, "bench");
        // Inside the desk's border, or inside the bench.
        const int inset = onDesk ? desk_->BorderWidth() : 0;
        const QRectF inside(inset, inset, container.width() - 2 * inset, container.height() - 2 * inset);
        for (const QRectF& box : widget.boxes) {
            EXPECT_TRUE(inside.contains(box)) << widget.what << " leaves its container: " << box.x() << ","
                                              << box.y() << " " << box.width() << "x" << box.height();
            // The page control covers the middle of the desk; widgets there would never be seen.
            if (onDesk) {
                EXPECT_FALSE(QRectF(desk_->PageControlRect()).intersects(box))
                    << widget.what << " lies under the page control";
            }
        }
        for (std::size_t j = i + 1; j < placed.size(); ++j) {
            if (!corvane::SameText(placed[j].site, widget.site))
                continue;
            for (const QRectF& box : widget.boxes)
                for (const QRectF& other : placed[j].boxes)
                    EXPECT_FALSE(box.intersects(other)) << widget.what << " overlaps " << placed[j].what;
        }
    }
}

TEST_P(SampleBootScripts, ClicksRunTheirActionsOrDoNothing) {
    RunBootScripts();
    const std::vector<TRecordingDesk::TWidgetRequest> widgets = desk_->Widgets();
    TModalCloser dialogs;
    int actions = 0;
    std::set<std::string> accountActions;
    for (const auto& widget : widgets) {
        // Without "req_id" a click would send the stored creation request again and duplicate the
        // widget; every widget therefore names the request its click sends.
        ASSERT_TRUE(widget.doc.HasItem("plugin")) << Text(widget.doc, "text");
        ASSERT_TRUE(widget.doc.HasItem("req_id")) << Text(widget.doc, "text");
        const bool runsAction = widget.doc.GetValue("req_id").AsInteger() == 103;
        const std::string script = Text(widget.doc, "luaf");
        if (runsAction && OpensAPage(script)) {
            // Actions that dock a plug-in's window or talk to the upgrade plug-in need the real desk
            // and the plug-ins; the desk's own tests click those.
            ++actions;
            continue;
        }
        SCOPED_TRACE(Text(widget.doc, "text") + " " + script);
        const std::size_t linesBefore = desk_->LogLines().size();
        const std::size_t widgetsBefore = desk_->Widgets().size();
        ASSERT_NO_FATAL_FAILURE(Click(widget.doc));
        EXPECT_EQ(desk_->Widgets().size(), widgetsBefore) << "a click created a widget";
        if (!runsAction) {
            EXPECT_EQ(desk_->LogLines().size(), linesBefore) << "decorative " << Text(widget.doc, "text");
            EXPECT_TRUE(dialogs.Take().empty());
            continue;
        }
        ++actions;
        EXPECT_EQ(qm::TaxLua().LastScriptError(), "");
        ASSERT_EQ(desk_->LogLines().size(), linesBefore + 1);
        EXPECT_FALSE(desk_->LogLines().back().empty());

        const auto effect = AccountClickEffects().find(fs::path(script).filename().string());
        const std::vector<std::string> shown = dialogs.Take();
        if (effect == AccountClickEffects().end()) {
            EXPECT_TRUE(shown.empty()) << "a dialog came up";
            continue;
        }
        accountActions.insert(effect->first);
        EXPECT_EQ(desk_->LogLines().back(), effect->second.logLine);
        EXPECT_EQ(shown, effect->second.dialog.empty() ? std::vector<std::string>{}
                                                       : std::vector<std::string>{effect->second.dialog});
        if (!effect->second.address.empty()) {
            EXPECT_EQ(browser_.TakeArguments(), QStringList{QString::fromStdString(effect->second.address)});
        }
    }
    EXPECT_GE(actions, 16);
    EXPECT_EQ(accountActions.size(), AccountClickEffects().size()) << "an account action has no icon";
    // Addresses are handed over at once; a browser started by another click would be there by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(browser_.Started()) << "a click opened the browser";
}

std::string DeskSizeName(const ::testing::TestParamInfo<TDeskSize>& size) {
    return std::to_string(size.param.width) + "x" + std::to_string(size.param.height);
}

INSTANTIATE_TEST_SUITE_P(DeskSizes, SampleBootScripts,
                         ::testing::Values(TDeskSize{800, 600}, TDeskSize{1366, 728}, TDeskSize{1920, 1040}),
                         DeskSizeName);

TEST(SampleAccountScripts, LogOutForgetsTheLoggedInUser) {
    TRecordingDesk desk(1024, 768);
    corvane::Khan().SetHostPlugin(&desk);
    desk.SharedValues().Set("Login", "UserName", "demo");
    desk.SharedValues().Set("Login", "Password", "demo-pass-2026");
    EXPECT_EQ(qm::TaxLua().RunFile(qm::ConfigPath() + "Scripts/actions/logout.lua"), 0)
        << qm::TaxLua().LastScriptError();
    EXPECT_EQ(desk.LogLines(), std::vector<std::string>{"退出登录: demo 已退出"});
    EXPECT_EQ(desk.SharedValues().Get("Login", "UserName"), "");
    EXPECT_EQ(desk.SharedValues().Get("Login", "Password"), "");
    qm::FreeTaxLua();
    corvane::Khan().Free();
}

// The installation's brennik.xml with its placeholder base replaced by another address, for as
// long as the object lives; then the file as it was.
class TBrandingPointedAt {
public:
    explicit TBrandingPointedAt(const std::string& base)
        : file_(qm::ConfigPath() + "brennik.xml"), original_(sample::ReadBytes(file_)) {
        std::string text = original_;
        const std::string placeholder = "http://127.0.0.1:8620";
        for (auto at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at))
            text.replace(at, placeholder.size(), base);
        Write(text);
    }
    ~TBrandingPointedAt() { Write(original_); }
    TBrandingPointedAt(const TBrandingPointedAt&) = delete;
    TBrandingPointedAt& operator=(const TBrandingPointedAt&) = delete;

private:
    void Write(const std::string& text) const {
        std::ofstream(file_, std::ios::binary | std::ios::trunc) << text;
    }

    std::string file_;
    std::string original_;
};

TEST(SampleAccountScripts, ForumOpensForTheLoggedInUserThroughATokenLoginOnTheSampleSite) {
    const sample::TTempFolder data;
    qm::test::ReferenceServer server(fs::path(qm::AppPath()) / "site", {"--data", data.Path().string()});
    const TBrandingPointedAt branding(server.BaseURL());
    {
        std::string user = "demo";
        std::string password = "demo-pass-2026";
        std::string email = "demo@example.com";
        ASSERT_TRUE(qm::CreateBrennikApi()->Register(user, password, "QM-SAMPLE", email).AsBoolean());
    }
    TRecordingDesk desk(1024, 768);
    corvane::Khan().SetHostPlugin(&desk);
    TRecordingBrowser browser;
    desk.SharedValues().Set("Login", "UserName", "demo");
    desk.SharedValues().Set("Login", "Password", "demo-pass-2026");

    EXPECT_EQ(qm::TaxLua().RunFile(qm::ConfigPath() + "Scripts/actions/forum.lua"), 0)
        << qm::TaxLua().LastScriptError();
    EXPECT_EQ(desk.LogLines(), std::vector<std::string>{"用户论坛: 打开论坛"});
    const QStringList opened = browser.TakeArguments();
    qm::FreeTaxLua();
    corvane::Khan().Free();

    ASSERT_EQ(opened.size(), 1);
    const std::string tokenLogin = opened.front().toStdString();
    const std::string endpoint = server.URL("/myaccount/loginSend.do?sendTo=");
    ASSERT_EQ(tokenLogin.rfind(endpoint, 0), 0u) << tokenLogin;
    httplib::Client client(server.BaseURL());
    const httplib::Result redirect = client.Get(tokenLogin.substr(server.BaseURL().size()));
    ASSERT_TRUE(redirect);
    EXPECT_EQ(redirect->status, 302);
    const std::string forum = server.URL("/forum.html?board=help&from=desk");
    EXPECT_EQ(redirect->get_header_value("Location"), forum);
    const httplib::Result page = client.Get(forum.substr(server.BaseURL().size()));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("<h1>用户论坛 · 使用帮助版</h1>"), std::string::npos);
}

TEST(SampleUpgradeScript, RunsAndLogsALine) {
    TRecordingDesk desk(1024, 768);
    corvane::Khan().SetHostPlugin(&desk);
    EXPECT_EQ(qm::TaxLua().RunFile(qm::ConfigPath() + "Upgrade.lua"), 0) << qm::TaxLua().LastScriptError();
    // No update source in this installation. Whether the catalogue refresh reaches an account
    // service depends on what the other tests of this installation copy pointed it at.
    const auto lines = desk.LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Upgrade.lua: 启动检查完成，未配置更新源");
    EXPECT_TRUE(lines[1] == "应用商店: 目录已更新" || lines[1].rfind("应用商店: 目录未更新（", 0) == 0)
        << lines[1];
    qm::FreeTaxLua();
    corvane::Khan().Free();
}

TEST(SampleScripts, EveryScriptCompiles) {
    struct TStateCloser {
        void operator()(lua_State* L) const noexcept { lua_close(L); }
    };
    const std::unique_ptr<lua_State, TStateCloser> state(luaL_newstate());
    int scripts = 0;
    for (const fs::path& file : sample::FilesBelow(qm::AppPath())) {
        if (file.extension() != ".lua")
            continue;
        ++scripts;
        const std::string path = (fs::path(qm::AppPath()) / file).string();
        EXPECT_EQ(luaL_loadfile(state.get(), path.c_str()), 0) << lua_tostring(state.get(), -1);
        lua_settop(state.get(), 0);
    }
    EXPECT_GE(scripts, 16);
}

} // namespace
