#pragma once

#include <QDate>
#include <QWidget>

class QCalendarWidget;
class QLabel;

namespace qm {

// The filing calendar: a month calendar with the usual filing deadlines of the year marked, and
// beside it the deadlines as a list. Registered in the handle table (control and form) while it
// lives; it has no close handler, so the desk frees it when its page is closed.
class TfrmFilingCalendar : public QWidget {
public:
    explicit TfrmFilingCalendar(QDate today = QDate::currentDate(), QWidget* parent = nullptr);
    ~TfrmFilingCalendar() override;

private:
    void MarkMonthlyDeadlines(int year);
    void ShowNextDeadline(QDate from);

    QCalendarWidget* calDates = nullptr; // owned by this window
    QLabel* lblNext = nullptr;           // owned by this window
};

} // namespace qm
