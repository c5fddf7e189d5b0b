// The desk under a real window manager with panels: openbox keeps a top bar of 32 pixels and a
// left dock of 64 free on a 1920 x 1080 screen, so that its work area is 64,32 1856 x 1048. The
// desk starts and maximizes inside it, the manager knows the state, title and edge drags go through
// the manager, the window carries its icon and the class its desktop entry names, a refused second
// start brings the minimized desk back, and the login dialog is a window of the desk's, centred
// over it.
#include "SampleDesk.h"
#include "ScreenSearch.h"
#include "WindowManager.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace qmtest {
namespace {

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
const QRect kWorkArea(64, 32, 1856, 1048);
const QRect kRestored(64 + (1856 - 800) / 2, 32 + (1048 - 600) / 2, 800, 600);

bool Maximized(const std::string& state) {
    return state.find("_NET_WM_STATE_MAXIMIZED_VERT") != std::string::npos &&
           state.find("_NET_WM_STATE_MAXIMIZED_HORZ") != std::string::npos;
}
bool Hidden(const std::string& state) {
    return state.find("_NET_WM_STATE_HIDDEN") != std::string::npos;
}

// The StartupWMClass of the desktop entry the package installs.
std::string EntryWindowClass() {
    std::ifstream entry(QM_DESKTOP_ENTRY);
    for (std::string line; std::getline(entry, line);)
        if (line.rfind("StartupWMClass=", 0) == 0)
            return line.substr(line.find('=') + 1);
    return {};
}

class DeskUnderWindowManager : public ::testing::Test {
protected:
    // Starts the manager and the desk; the desk's dialogs are clicked away unless watchDialogs is off.
    void StartDesk(bool watchDialogs) {
        manager_ = std::make_unique<TWindowManager>(server_, folder_, kWorkArea.top(), kWorkArea.left());
        ASSERT_EQ(manager_->WorkArea(), kWorkArea);
        desk_ = std::make_unique<TSampleDesk>(server_, "", nullptr, watchDialogs);
        ASSERT_TRUE(WaitUntil([&] { return !WindowIds(server_, Pid()).empty(); }, 10s));
        window_ = WindowIds(server_, Pid()).front();
    }
    pid_t Pid() const { return desk_->Host().Pid(); }
    QRect Frame() const { return server_.WindowOf(Pid()); }
    bool FrameBecomes(const QRect& expected) const {
        return WaitUntil([&] { return Frame() == expected; }, 10s);
    }
    std::string State() const { return WindowProperty(server_, window_, "_NET_WM_STATE"); }

    // A title-bar button's centre on the screen (0 close, 1 maximize, 2 minimize).
    QPoint TitleButton(const QRect& frame, int button) const {
        const char* const pictures[] = {"pack:close_01.png", "pack:nor_01.png", "pack:min_01.png"};
        int right = frame.width() - desk_->Border();
        for (int k = 0; k < button; ++k)
            right -= desk_->Picture(pictures[k]).width();
        const QImage picture = desk_->Picture(pictures[button]);
        return frame.topLeft() +
               QPoint(right - picture.width() / 2, desk_->Border() + 1 + picture.height() / 2);
    }
    // A point of the title bar that no widget covers.
    QPoint TitlePoint(const QRect& frame) const {
        return frame.topLeft() + QPoint(frame.width() / 2, desk_->Border() + 4);
    }
    // A left-button drag through the server, in steps as a hand moves.
    void Drag(QPoint from, QPoint to) const {
        server_.MoveMouse(from);
        server_.Run("xdotool mousedown 1");
        for (int step = 1; step <= 4; ++step) {
            const QPoint at = from + (to - from) * step / 4;
            server_.Run("xdotool mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()));
            usleep(50000);
        }
        server_.Run("xdotool mouseup 1");
    }

    TXServer server_{kScreenWidth, kScreenHeight};
    std::filesystem::path folder_ = std::filesystem::temp_directory_path();
    std::unique_ptr<TWindowManager> manager_;
    std::unique_ptr<TSampleDesk> desk_;
    std::string window_;
};

TEST_F(DeskUnderWindowManager, LivesInTheWorkAreaAndTheWindowManagerMovesResizesAndRaisesIt) {
    ASSERT_NO_FATAL_FAILURE(StartDesk(true));
    EXPECT_TRUE(FrameBecomes(kWorkArea)) << "starts maximized in the work area";
    EXPECT_TRUE(Maximized(State())) << State();
    EXPECT_NE(WindowProperty(server_, window_, "_NET_WM_ICON"), "") << "the window has no icon";
    const std::string windowClass = WindowProperty(server_, window_, "WM_CLASS");
    ASSERT_NE(EntryWindowClass(), "");
    EXPECT_NE(windowClass.find("\"" + EntryWindowClass() + "\""), std::string::npos) << windowClass;

    // Restored by its button: 800 x 600 in the middle of the work area, no longer maximized.
    server_.Click(TitleButton(kWorkArea, 1));
    EXPECT_TRUE(FrameBecomes(kRestored)) << Frame().x() << "," << Frame().y();
    EXPECT_TRUE(WaitUntil([&] { return !Maximized(State()); }, 10s)) << State();

    // Dragged by its title through the window manager; the restore position follows.
    Drag(TitlePoint(kRestored), TitlePoint(kRestored) + QPoint(100, 50));
    const QRect moved = kRestored.translated(100, 50);
    EXPECT_TRUE(FrameBecomes(moved)) << Frame().x() << "," << Frame().y();
    server_.Click(TitleButton(moved, 1));
    EXPECT_TRUE(FrameBecomes(kWorkArea));
    EXPECT_TRUE(WaitUntil([&] { return Maximized(State()); }, 10s)) << State();
    server_.Click(TitleButton(kWorkArea, 1));
    EXPECT_TRUE(FrameBecomes(moved)) << "restored to where it was dragged";

    // Its right edge resizes it, never below the minimum size.
    const QPoint edge(moved.right(), moved.center().y());
    Drag(edge, edge + QPoint(120, 0));
    EXPECT_TRUE(FrameBecomes(QRect(moved.topLeft(), QSize(920, 600)))) << Frame().width();
    Drag(QPoint(moved.left() + 919, edge.y()), QPoint(moved.left() + 400, edge.y()));
    EXPECT_TRUE(FrameBecomes(moved)) << Frame().width() << " wide";

    // Minimized, then a second start: refused with its message, and the desk is back.
    server_.Click(TitleButton(moved, 2));
    ASSERT_TRUE(WaitUntil([&] { return Hidden(State()); }, 10s)) << State();
    const std::unique_ptr<THostProcess> second = desk_->Start("second");
    ASSERT_TRUE(second->WaitForDialog()) << second->Output();
    EXPECT_EQ(second->Dialogs().front().message, "程序已经运行!");
    EXPECT_TRUE(WaitUntil([&] { return !Hidden(State()) && !WindowIds(server_, Pid()).empty(); }, 10s))
        << State();
    EXPECT_TRUE(second->WaitForExit().has_value());
    EXPECT_TRUE(desk_->Host().Running());
}

TEST_F(DeskUnderWindowManager, LoginDialogIsTheDesksWindowCentredOverIt) {
    ASSERT_NO_FATAL_FAILURE(StartDesk(false));
    ASSERT_TRUE(FrameBecomes(kWorkArea));
    const QImage icon = desk_->Picture("login_nor.png");
    ASSERT_FALSE(icon.isNull());
    std::optional<QPoint> at;
    ASSERT_TRUE(WaitUntil([&] { return (at = FindPicture(server_.Screenshot(), icon)).has_value(); }, 10s));
    server_.Click(*at + QPoint(icon.width() / 2, icon.height() / 2));

    std::vector<std::string> windows;
    ASSERT_TRUE(WaitUntil([&] { return (windows = WindowIds(server_, Pid())).size() == 2; }, 10s));
    const std::string dialog = windows[0] == window_ ? windows[1] : windows[0];
    // xprop names the window it is transient for by its id in hexadecimal.
    std::ostringstream deskId;
    deskId << "0x" << std::hex << std::stoul(window_);
    const std::string transient = WindowProperty(server_, dialog, "WM_TRANSIENT_FOR");
    EXPECT_NE(transient.find(deskId.str()), std::string::npos) << transient << " is not " << deskId.str();
    const std::vector<QRect> frames = server_.WindowsOf(Pid());
    const QRect dialogFrame = frames[0] == kWorkArea ? frames[1] : frames[0];
    // Centred across the desk, and over it (its height may still change once it is shown).
    EXPECT_TRUE(kWorkArea.contains(dialogFrame));
    EXPECT_LE(std::abs(dialogFrame.center().x() - kWorkArea.center().x()), 2)
        << dialogFrame.x() << "," << dialogFrame.y() << " " << dialogFrame.width() << "x"
        << dialogFrame.height();
    server_.Run("xdotool key --window " + dialog + " Escape");
}

} // namespace
} // namespace qmtest
