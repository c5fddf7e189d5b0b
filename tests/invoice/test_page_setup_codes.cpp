// The browser's page-setup codes of printed headers and footers.
#include "invoice/PageSetupCodes.h"

#include <gtest/gtest.h>

namespace {

qm::TPageSetupFields Fields() {
    qm::TPageSetupFields fields;
    fields.title = QStringLiteral("发票查询");
    fields.address = QStringLiteral("file:///opt/desk/Plugins/Invoice/html/fpsearch.html");
    fields.when = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
    fields.page = 2;
    fields.pageCount = 5;
    fields.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    return fields;
}

void ExpectLine(const qm::TPageSetupLine& line, const QString& left, const QString& center,
                const QString& right) {
    EXPECT_EQ(line.left, left);
    EXPECT_EQ(line.center, center);
    EXPECT_EQ(line.right, right);
}

TEST(PageSetupCodes, TitleAndPageNumbersAboveAddressAndDateBelow) {
    ExpectLine(qm::ExpandPageSetupCodes(QStringLiteral("&w&bPage &p of &P"), Fields()),
               QStringLiteral("发票查询"), {}, QStringLiteral("Page 2 of 5"));
    ExpectLine(qm::ExpandPageSetupCodes(QStringLiteral("&u&b&d"), Fields()),
               QStringLiteral("file:///opt/desk/Plugins/Invoice/html/fpsearch.html"), {},
               QStringLiteral("3/5/24"));
}

TEST(PageSetupCodes, TwoAlignmentCodesCentreTheMiddleText) {
    ExpectLine(qm::ExpandPageSetupCodes(QStringLiteral("left&bmiddle &p&bright"), Fields()),
               QStringLiteral("left"), QStringLiteral("middle 2"), QStringLiteral("right"));
    ExpectLine(qm::ExpandPageSetupCodes(QStringLiteral("&bonly right"), Fields()), {}, {},
               QStringLiteral("only right"));
}

TEST(PageSetupCodes, AmpersandsAndUnknownCodesArePrintedAsText) {
    ExpectLine(qm::ExpandPageSetupCodes(QStringLiteral("R&&D &x 100%&"), Fields()),
               QStringLiteral("R&D &x 100%&"), {}, {});
    ExpectLine(qm::ExpandPageSetupCodes(QString(), Fields()), {}, {}, {});
}

} // namespace
