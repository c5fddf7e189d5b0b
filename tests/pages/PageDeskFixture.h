#pragma once

// A desk made of real widgets (a desk container from the widget wizard with a page control and its
// bench page, and a bench container), the real host plugin in the bus's host slot, and the real
// script engine running script files from a temporary folder.
#include "common/ControlAlign.h"
#include "corvane/Errors.h"
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"
#include "desk/UIDesign.h"
#include "desk/tabs/TaxPageControl.h"
#include "desk/tabs/TaxTabControlTopPanel.h"
#include "desk/tabs/TaxTabSheet.h"
#include "host/DeskObjects.h"
#include "host/TaxLua.h"
#include "host/UIPlugin.h"
#include "pictures/PngPack.h"
#include "tests/desk/DeskFixture.h"
#include "tests/support/LuaGlobals.h"

#include <QLineEdit>
#include <gtest/gtest.h>
#include <lua.hpp>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qm::test {

constexpr int kDeskWidth = 1000;
constexpr int kDeskHeight = 600;

// What the desk window offers the host plugin, built the way the desk window builds it.
class TTestDesk final : public IDeskObjects {
public:
    explicit TTestDesk(TPngPack& pngs) : deskWidgets_(pngs), benchWidgets_(pngs) {
        TUIContainer& desk = DeskContainer();
        desk.resize(kDeskWidth, kDeskHeight);
        pageControl_ = new TTaxPageControl(&desk); // owned by the desk container
        pageControl_->setObjectName(QStringLiteral("FPageCtrl"));
        pageControl_->setGeometry(3, 18, kDeskWidth - 6, kDeskHeight - 40);
        benchPage_ = new TTaxTabSheet(pageControl_); // owned by, and attached to, the page control
        benchPage_->SetCaption("工作台");
        benchPage_->setObjectName(QStringLiteral("tbBench"));
        pageControl_->SelectPage(0);
        desk.show();
        BenchContainer().resize(600, 400);
        ProcessEvents();
    }

    TUIContainer& DeskContainer() const override { return *deskWidgets_.Container(); }
    TUIContainer& BenchContainer() const override { return *benchWidgets_.Container(); }
    TTaxPageControl& PageControl() const override { return *pageControl_; }
    TTaxTabSheet& BenchPage() const { return *benchPage_; }

private:
    TUIWizard deskWidgets_;
    TUIWizard benchWidgets_;
    TTaxPageControl* pageControl_ = nullptr;
    TTaxTabSheet* benchPage_ = nullptr;
};

// A window a plug-in hands out: registered in the handle table for its whole life, as a control
// or, for a form, as a control and a form. A form is a top-level window with an edit box in it.
class TPluginWindow : public QWidget {
public:
    explicit TPluginWindow(std::uint32_t kinds) {
        handle_ = corvane::Handles().Register(static_cast<const QWidget*>(this), kinds);
        if ((kinds & corvane::kHandleForm) != 0) {
            setWindowTitle(QStringLiteral("插件窗体"));
            edit_ = new QLineEdit(this); // owned by this form
            resize(320, 200);
            show();
        }
    }
    ~TPluginWindow() override { corvane::Handles().Unregister(static_cast<const QWidget*>(this)); }

    std::int32_t Handle() const noexcept { return handle_; }
    QLineEdit* Edit() const noexcept { return edit_; }

private:
    std::int32_t handle_ = 0;
    QLineEdit* edit_ = nullptr;
};

class PagesTest : public ::testing::Test {
protected:
    void SetUp() override { corvane::Khan().SetHostPlugin(&host); }
    void TearDown() override {
        FreeTaxLua();
        corvane::Khan().SetHostPlugin(nullptr);
    }

    TTaxPageControl& Pages() const { return desk.PageControl(); }
    TTaxTabSheet& Page(int index) const { return *Pages().GetPage(index); }
    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        for (const TTaxTabSheet* page : Pages().Pages())
            captions.push_back(page->Caption());
        return captions;
    }

    // A plug-in window that lives until the test ends (or until the test destroys it).
    TPluginWindow& Window(std::uint32_t kinds) {
        windows.push_back(std::make_unique<TPluginWindow>(kinds));
        return *windows.back();
    }
    TPluginWindow& Form() { return Window(corvane::kHandleControl | corvane::kHandleForm); }
    TPluginWindow& Control() { return Window(corvane::kHandleControl); }

    static void SetGlobal(const char* name, double value) { SetLuaGlobal(name, value); }
    static std::optional<double> GlobalNumber(const char* name) { return LuaGlobalNumber(name); }
    // The handle a script kept in a global; 0 when there is none.
    static std::int32_t GlobalHandle(const char* name) {
        return static_cast<std::int32_t>(GlobalNumber(name).value_or(0));
    }

    // Runs source as a script file; a script error fails the test.
    void Run(const std::string& source) {
        const std::string file = scripts.File("main.lua");
        WriteBytes(file, source);
        ASSERT_EQ(TaxLua().RunFile(file), 0) << TaxLua().LastScriptError();
        ProcessEvents();
    }
    // Runs source, which must end in an EPlugin error raised behind a script function; yields it.
    // The script sets "after" once the failing call returned: it must not get there.
    std::optional<corvane::EPlugin> ErrorOf(const std::string& source) {
        const std::string file = scripts.File("failing.lua");
        WriteBytes(file, "after = nil\n" + source + "\nafter = 1\n");
        try {
            TaxLua().RunFile(file);
        } catch (const corvane::EPlugin& error) {
            EXPECT_FALSE(GlobalNumber("after").has_value()) << "the error ends the script";
            return error;
        }
        ADD_FAILURE() << "no error reached the starter of: " << source;
        return std::nullopt;
    }

    TDeskPictures pictures;
    TTestDesk desk{pictures.Pngs()};
    TUIPlugin host{&desk};
    TTempFolder scripts;
    // Destroyed before the desk, as a plug-in's windows are.
    std::vector<std::unique_ptr<TPluginWindow>> windows;
};

} // namespace qm::test
