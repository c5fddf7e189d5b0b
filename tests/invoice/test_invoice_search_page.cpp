// The sample invoice search page, driven through the form as a user fills it in. The expected rows
// come from the page's invoice list, filtered here independently of the page's own code.
#include "InvoiceFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <vector>

namespace {

struct TInvoice {
    QString number, date, buyer, seller, status;
    qint64 amount = 0, tax = 0; // fen
};

std::vector<TInvoice> PageInvoices(QWebEngineView& browser) {
    const QString json =
        TInvoiceTest::RunScript(browser, QStringLiteral("JSON.stringify(fpsearch.invoices)")).toString();
    std::vector<TInvoice> invoices;
    for (const QJsonValue value : QJsonDocument::fromJson(json.toUtf8()).array()) {
        const QJsonObject o = value.toObject();
        invoices.push_back({o["number"].toString(), o["date"].toString(), o["buyer"].toString(),
                            o["seller"].toString(), o["status"].toString(),
                            static_cast<qint64>(o["amount"].toDouble()),
                            static_cast<qint64>(o["tax"].toDouble())});
    }
    return invoices;
}

// Newest first, one day's invoices by number: the order the page promises.
QStringList NumbersInPageOrder(std::vector<TInvoice> invoices) {
    std::sort(invoices.begin(), invoices.end(), [](const TInvoice& a, const TInvoice& b) {
        return a.date != b.date ? a.date > b.date : a.number < b.number;
    });
    QStringList numbers;
    for (const TInvoice& invoice : invoices)
        numbers.append(invoice.number);
    return numbers;
}

// Yuan with thousands separators and two decimals, as an accountant writes it.
QString Yuan(qint64 fen) {
    const qint64 whole = std::abs(fen) / 100;
    QString digits = QString::number(whole);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, ',');
    return (fen < 0 ? QStringLiteral("-") : QString()) + digits + '.' +
           QStringLiteral("%1").arg(std::abs(fen) % 100, 2, 10, QChar('0'));
}

// text as a script string literal.
QString ScriptString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

class InvoiceSearchPage : public TInvoiceTest {
protected:
    void SetUp() override {
        TInvoiceTest::SetUp();
        opened = OpenWindow();
        ASSERT_TRUE(FirstLoadSucceeded(opened));
        invoices = PageInvoices(*opened.browser);
        ASSERT_GE(invoices.size(), 20u);
    }

    // Fills the form (fields not named are emptied) and presses 查询.
    void Search(const QVariantMap& fields) {
        QString script = QStringLiteral("document.getElementById('searchForm').reset();");
        for (auto field = fields.begin(); field != fields.end(); ++field)
            script += QStringLiteral("document.getElementById('%1').value = %2;")
                          .arg(field.key(), ScriptString(field.value().toString()));
        script += QStringLiteral("document.getElementById('btnSearch').click(); 1");
        RunScript(*opened.browser, script);
    }

    // The cells of every result row.
    QList<QStringList> Rows() {
        const QVariantList rows =
            RunScript(*opened.browser,
                      QStringLiteral("Array.from(document.querySelectorAll('#results tbody tr'),"
                                     "  r => Array.from(r.cells, c => c.textContent))"))
                .toList();
        QList<QStringList> cells;
        for (const QVariant& row : rows)
            cells.append(row.toStringList());
        return cells;
    }
    QStringList RowNumbers() {
        QStringList numbers;
        for (const QStringList& row : Rows())
            numbers.append(row.value(0));
        return numbers;
    }
    bool Shown(const char* id) {
        return !RunScript(*opened.browser, QStringLiteral("document.getElementById('%1').hidden").arg(id))
                    .toBool();
    }
    QString Text(const char* id) {
        return RunScript(*opened.browser, QStringLiteral("document.getElementById('%1').textContent").arg(id))
            .toString();
    }

    TOpened opened;
    std::vector<TInvoice> invoices;
};

TEST_F(InvoiceSearchPage, OpensWithEveryInvoiceListed) {
    EXPECT_EQ(RowNumbers(), NumbersInPageOrder(invoices));
    EXPECT_FALSE(Shown("message"));
}

TEST_F(InvoiceSearchPage, BuyerAndDateRangeFindExactlyTheMatchingInvoices) {
    // Part of the name of a buyer in the middle of the list, over the months around its invoice.
    const TInvoice& sample = invoices[invoices.size() / 2];
    const QString buyerPart = sample.buyer.left(2);
    const QString from = QDate::fromString(sample.date, Qt::ISODate).addMonths(-2).toString(Qt::ISODate);
    const QString to = QDate::fromString(sample.date, Qt::ISODate).addMonths(2).toString(Qt::ISODate);
    std::vector<TInvoice> expected;
    std::copy_if(invoices.begin(), invoices.end(), std::back_inserter(expected), [&](const TInvoice& i) {
        return i.buyer.contains(buyerPart) && i.date >= from && i.date <= to;
    });
    ASSERT_FALSE(expected.empty());
    ASSERT_LT(expected.size(), invoices.size());

    Search({{"buyer", buyerPart}, {"dateFrom", from}, {"dateTo", to}});
    EXPECT_EQ(RowNumbers(), NumbersInPageOrder(expected));
    EXPECT_FALSE(Shown("message"));
    EXPECT_TRUE(Text("summary").contains(QString::number(expected.size())));
}

TEST_F(InvoiceSearchPage, NumberFindsOneInvoiceWithAllItsColumns) {
    const TInvoice& sample = invoices[4];
    Search({{"fpNumber", sample.number}});
    const QList<QStringList> rows = Rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0], (QStringList{sample.number, sample.date, sample.buyer, sample.seller,
                                    Yuan(sample.amount), Yuan(sample.tax), sample.status}));

    // Part of a number finds every invoice whose number holds it.
    const QString part = sample.number.mid(2, 3);
    std::vector<TInvoice> expected;
    std::copy_if(invoices.begin(), invoices.end(), std::back_inserter(expected),
                 [&](const TInvoice& i) { return i.number.contains(part); });
    Search({{"fpNumber", part}});
    EXPECT_EQ(RowNumbers(), NumbersInPageOrder(expected));
}

TEST_F(InvoiceSearchPage, AmountRangeIsInclusiveAndTakesGroupedDigits) {
    // The bounds are amounts of real invoices, so inclusiveness matters.
    std::vector<qint64> amounts;
    for (const TInvoice& i : invoices)
        amounts.push_back(i.amount);
    std::sort(amounts.begin(), amounts.end());
    const qint64 low = amounts[amounts.size() / 4];
    const qint64 high = amounts[amounts.size() * 3 / 4];
    std::vector<TInvoice> expected;
    std::copy_if(invoices.begin(), invoices.end(), std::back_inserter(expected),
                 [&](const TInvoice& i) { return i.amount >= low && i.amount <= high; });

    Search({{"amountMin", Yuan(low)}, {"amountMax", Yuan(high)}});
    EXPECT_EQ(RowNumbers(), NumbersInPageOrder(expected));
}

TEST_F(InvoiceSearchPage, UnusableCriteriaAreExplainedAndNothingMatchingIsSaidSo) {
    Search({{"dateFrom", "2024-06-01"}, {"dateTo", "2024-05-01"}});
    EXPECT_TRUE(Shown("message"));
    EXPECT_FALSE(Text("message").isEmpty());

    Search({{"amountMin", "一百"}});
    EXPECT_TRUE(Shown("message"));

    Search({{"amountMin", "500"}, {"amountMax", "100"}});
    EXPECT_TRUE(Shown("message"));

    Search({{"buyer", "<b>没有这家公司</b>"}});
    EXPECT_FALSE(Shown("message"));
    EXPECT_TRUE(Rows().isEmpty());
    EXPECT_TRUE(Shown("empty"));
    EXPECT_FALSE(Shown("results"));
}

TEST_F(InvoiceSearchPage, SearchedBuyersAreOfferedAgainInANewWindow) {
    const QString buyer = QStringLiteral("测试用的购买方甲");
    Search({{"buyer", buyer}});
    opened.window->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    TOpened next = OpenWindow();
    ASSERT_TRUE(FirstLoadSucceeded(next));
    const QStringList offered =
        RunScript(*next.browser,
                  QStringLiteral("Array.from(document.querySelectorAll('#buyerList option'), o => o.value)"))
            .toStringList();
    EXPECT_TRUE(offered.contains(buyer));
}

} // namespace
