// The sample's desk tools plug-in on its own, loaded through the real bus: the windows it hands
// out, and the tax calculator's arithmetic as the user sees it.
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"
#include "sample/deskdemo/TaxSplit.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>
#include <memory>

namespace {

const std::string kPlugin = QM_DESKTOOLS_FILE;

std::int32_t WindowHandle(std::int32_t request) {
    const corvane::IDataDocument answer =
        corvane::Khan().Invoke(kPlugin, *corvane::TakeDataDocument(request, 0));
    return answer->GetValue("inst").AsInteger();
}

QWidget* Window(std::int32_t handle) {
    return static_cast<QWidget*>(
        corvane::Handles().Find(handle, corvane::kHandleControl | corvane::kHandleForm));
}

class DeskToolsPlugin : public ::testing::Test {
protected:
    void TearDown() override {
        corvane::Khan().UnloadPlugin(kPlugin);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    }
};

TEST_F(DeskToolsPlugin, EachWindowIsHandedOutOnceUntilItIsFreed) {
    for (const std::int32_t request : {1, 2}) {
        const std::int32_t first = WindowHandle(request);
        ASSERT_NE(Window(first), nullptr) << "request " << request;
        EXPECT_EQ(WindowHandle(request), first) << "request " << request;

        // A desk page frees the window it holds when the page is closed.
        std::unique_ptr<QWidget>(Window(first)).reset();
        EXPECT_FALSE(corvane::Handles().IsLive(first));
        const std::int32_t second = WindowHandle(request);
        EXPECT_NE(second, first);
        EXPECT_NE(Window(second), nullptr);
    }
    EXPECT_NE(Window(WindowHandle(1)), Window(WindowHandle(2)));
}

TEST_F(DeskToolsPlugin, UnloadingFreesTheWindowsEvenWhenSomeoneElseHoldsThem) {
    const std::int32_t calendar = WindowHandle(1);
    QWidget holder;
    Window(calendar)->setParent(&holder);
    corvane::Khan().UnloadPlugin(kPlugin);
    // The bus lets the library go once control is back in the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    EXPECT_FALSE(corvane::Handles().IsLive(calendar));
    EXPECT_TRUE(holder.children().isEmpty());
}

TEST_F(DeskToolsPlugin, CalculatorSplitsTheAmountAsItIsTypedAndWhenTheRateChanges) {
    QWidget* calculator = Window(WindowHandle(2));
    ASSERT_NE(calculator, nullptr);
    auto* gross = calculator->findChild<QLineEdit*>(QStringLiteral("edtGross"));
    auto* rate = calculator->findChild<QComboBox*>(QStringLiteral("cbxRate"));
    auto* net = calculator->findChild<QLabel*>(QStringLiteral("lblNet"));
    auto* tax = calculator->findChild<QLabel*>(QStringLiteral("lblTax"));
    ASSERT_TRUE(gross && rate && net && tax);

    gross->setText(QStringLiteral("1130.5"));
    EXPECT_EQ(net->text(), QStringLiteral("1,000.44"));
    EXPECT_EQ(tax->text(), QStringLiteral("130.06"));
    rate->setCurrentIndex(rate->findText(QStringLiteral("6%")));
    EXPECT_EQ(net->text(), QStringLiteral("1,066.51"));
    EXPECT_EQ(tax->text(), QStringLiteral("63.99"));
    gross->setText(QString());
    EXPECT_EQ(net->text(), QStringLiteral("—"));
    EXPECT_EQ(tax->text(), QStringLiteral("—"));
}

TEST(TaxSplit, NetIsRoundedHalfUpAndTaxIsTheRest) {
    // 100.00 at 13%: 88.4955... -> 88.50.
    EXPECT_EQ(qm::SplitGrossAmount(10000, 13).net, 8850);
    EXPECT_EQ(qm::SplitGrossAmount(10000, 13).tax, 1150);
    // 0.03 at 3%: 0.029126... -> 0.03, no tax.
    EXPECT_EQ(qm::SplitGrossAmount(3, 3).net, 3);
    EXPECT_EQ(qm::SplitGrossAmount(3, 3).tax, 0);
    // 10.30 at 3% is exactly 10.00 + 0.30.
    EXPECT_EQ(qm::SplitGrossAmount(1030, 3).net, 1000);
    // The largest amount accepted does not overflow.
    const std::int64_t largest = 99999999999999;
    EXPECT_EQ(qm::SplitGrossAmount(largest, 9).net + qm::SplitGrossAmount(largest, 9).tax, largest);
}

TEST(TaxSplit, AmountsAreDigitsWithAtMostTwoDecimals) {
    EXPECT_EQ(qm::ParseCents("1234.5"), 123450);
    EXPECT_EQ(qm::ParseCents("0.07"), 7);
    EXPECT_EQ(qm::ParseCents("12."), 1200);
    EXPECT_EQ(qm::ParseCents("999999999999.99"), 99999999999999);
    for (const char* text : {"", ".5", "1.234", "-1", "1e3", "1,000", " 1", "1000000000000"})
        EXPECT_EQ(qm::ParseCents(text), std::nullopt) << text;
    EXPECT_EQ(qm::FormatCents(123456789), "1,234,567.89");
    EXPECT_EQ(qm::FormatCents(5), "0.05");
    EXPECT_EQ(qm::FormatCents(100000), "1,000.00");
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
