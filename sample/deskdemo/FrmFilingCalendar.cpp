#include "sample/deskdemo/FrmFilingCalendar.h"

#include "corvane/HandleTable.h"
#include "sample/deskdemo/HostTrace.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QTextCharFormat>
#include <QVBoxLayout>

namespace qm {

namespace {

// The monthly returns (value-added tax, consumption tax, withheld individual income tax) are due
// by the 15th; the tax authority moves the date when it falls on a holiday.
constexpr int kMonthlyDueDay = 15;

const char* const kDeadlines[] = {
    "增值税、消费税申报截止：每月15日",
    "个人所得税（扣缴）申报截止：每月15日",
    "企业所得税季度预缴：1月、4月、7月、10月的15日前",
    "个人所得税综合所得汇算：3月1日至6月30日",
    "企业所得税年度汇算清缴：5月31日前",
    "遇法定节假日顺延，以税务机关公布的申报日历为准。",
};

} // namespace

TfrmFilingCalendar::TfrmFilingCalendar(QDate today, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmFilingCalendar"));
    setWindowTitle(QStringLiteral("申报日历"));
    resize(640, 360);

    calDates = new QCalendarWidget(this);
    calDates->setObjectName(QStringLiteral("calDates"));
    calDates->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    calDates->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calDates->setGridVisible(true);
    calDates->setMaximumSize(480, 320);
    calDates->setSelectedDate(today);

    auto* deadlines = new QVBoxLayout; // owned by the window's layout
    auto* title = new QLabel(QStringLiteral("%1年申报期限").arg(today.year()), this);
    title->setStyleSheet(QStringLiteral("font-weight: bold; color: #2E4A68;"));
    deadlines->addWidget(title);
    for (const char* line : kDeadlines) {
        auto* label = new QLabel(QString::fromUtf8(line), this);
        label->setWordWrap(true);
        deadlines->addWidget(label);
    }
    lblNext = new QLabel(this);
    lblNext->setObjectName(QStringLiteral("lblNext"));
    lblNext->setStyleSheet(QStringLiteral("color: #B03A2E;"));
    deadlines->addWidget(lblNext);
    deadlines->addStretch();

    auto* layout = new QHBoxLayout(this); // owned by this window
    layout->addWidget(calDates, 0, Qt::AlignTop);
    layout->addLayout(deadlines, 1);

    MarkMonthlyDeadlines(today.year());
    ShowNextDeadline(today);
    corvane::Handles().Register(static_cast<QWidget*>(this), corvane::kHandleControl | corvane::kHandleForm);
    HostTrace("calendar window created");
}

TfrmFilingCalendar::~TfrmFilingCalendar() {
    corvane::Handles().Unregister(static_cast<QWidget*>(this));
    HostTrace("calendar window closed");
}

void TfrmFilingCalendar::MarkMonthlyDeadlines(int year) {
    QTextCharFormat due;
    due.setForeground(QColor(0xB0, 0x3A, 0x2E));
    due.setFontWeight(QFont::Bold);
    due.setToolTip(QStringLiteral("月度申报截止日"));
    for (int month = 1; month <= 12; ++month)
        calDates->setDateTextFormat(QDate(year, month, kMonthlyDueDay), due);
}

void TfrmFilingCalendar::ShowNextDeadline(QDate from) {
    QDate next(from.year(), from.month(), kMonthlyDueDay);
    if (next < from)
        next = next.addMonths(1);
    lblNext->setText(QStringLiteral("下一个月度申报截止日：%1年%2月%3日")
                         .arg(next.year())
                         .arg(next.month())
                         .arg(next.day()));
}

} // namespace qm
