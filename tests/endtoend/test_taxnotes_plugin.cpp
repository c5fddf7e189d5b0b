// The store application's notes plug-in on its own, both published versions loaded through the real
// bus on the offscreen platform: adding, changing and deleting notes as a user does, the notes file
// written by the atomic save and read again after a restart, and the search that version 1.1 adds.
#include "corvane/HandleTable.h"
#include "corvane/Khan.h"
#include "tests/support/TempFolder.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

namespace {

struct TVersion {
    const char* version;
    const char* plugin;
    bool search; // the search box and the count of notes, new in 1.1
};

// Names the version in test listings instead of dumping the struct's bytes.
void PrintTo(const TVersion& version, std::ostream* out) {
    *out << version.version;
}

const TVersion kVersions[] = {{"1.0", QM_TAXNOTES_1_0_FILE, false}, {"1.1", QM_TAXNOTES_1_1_FILE, true}};

// The controls of a notes window.
struct TNotesPage {
    QWidget* window = nullptr;
    QListWidget* list = nullptr;
    QDateEdit* date = nullptr;
    QLineEdit* text = nullptr;
    QPushButton* add = nullptr;
    QPushButton* change = nullptr;
    QPushButton* remove = nullptr;
    QLineEdit* search = nullptr;
    QLabel* count = nullptr;

    QStringList Rows() const {
        QStringList rows;
        for (int row = 0; row < list->count(); ++row)
            rows << list->item(row)->text();
        return rows;
    }
    void Type(const QDate& day, const QString& note) const {
        date->setDate(day);
        text->setText(note);
    }
};

class TaxNotesPlugin : public ::testing::TestWithParam<TVersion> {
protected:
    void TearDown() override { Unload(); }

    std::string Plugin() const { return GetParam().plugin; }
    // The notes file of the user running the test, in the application's folder.
    QString NotesFile() const {
        return QString::fromStdString(app.File("Notes/")) +
               QString::fromLocal8Bit(getpwuid(geteuid())->pw_name) + QStringLiteral(".json");
    }

    // REQ_1: the notes window for the application's folder, with its controls.
    TNotesPage Open(int expectedCount) {
        corvane::IDataDocument request = corvane::TakeDataDocument(1, 0);
        request->SetString("folder", app.Path().string());
        const corvane::IDataDocument answer = corvane::Khan().Invoke(Plugin(), *request);
        EXPECT_EQ(answer->GetValue("count").AsInteger(), expectedCount);
        TNotesPage page;
        page.window = static_cast<QWidget*>(corvane::Handles().Find(
            answer->GetValue("inst").AsInteger(), corvane::kHandleControl | corvane::kHandleForm));
        if (page.window == nullptr) {
            ADD_FAILURE() << "no notes window";
            return page;
        }
        page.list = page.window->findChild<QListWidget*>(QStringLiteral("lstNotes"));
        page.date = page.window->findChild<QDateEdit*>(QStringLiteral("dteDate"));
        page.text = page.window->findChild<QLineEdit*>(QStringLiteral("edtText"));
        page.add = page.window->findChild<QPushButton*>(QStringLiteral("btnAdd"));
        page.change = page.window->findChild<QPushButton*>(QStringLiteral("btnChange"));
        page.remove = page.window->findChild<QPushButton*>(QStringLiteral("btnDelete"));
        page.search = page.window->findChild<QLineEdit*>(QStringLiteral("edtSearch"));
        page.count = page.window->findChild<QLabel*>(QStringLiteral("lblCount"));
        EXPECT_TRUE(page.list && page.date && page.text && page.add && page.change && page.remove);
        EXPECT_EQ(page.search != nullptr, GetParam().search);
        EXPECT_EQ(page.count != nullptr, GetParam().search);
        page.window->show();
        return page;
    }

    // The desk ends: the plug-in goes, and its window with it.
    void Unload() {
        corvane::Khan().UnloadPlugin(Plugin());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    }

    // The notes as saved: "date text" each.
    QStringList Saved() const {
        QFile file(NotesFile());
        if (!file.open(QIODevice::ReadOnly))
            return {QStringLiteral("unreadable")};
        QStringList saved;
        for (const QJsonValue note :
             QJsonDocument::fromJson(file.readAll()).object().value("notes").toArray())
            saved << note["date"].toString() + ' ' + note["text"].toString();
        return saved;
    }

    qm::test::TTempFolder app;
};

TEST_P(TaxNotesPlugin, AddChangeAndDeleteAreSavedAtOnceAndSurviveARestart) {
    TNotesPage page = Open(0);
    ASSERT_NE(page.window, nullptr);
    EXPECT_FALSE(page.change->isEnabled()) << "nothing is selected yet";
    EXPECT_FALSE(page.remove->isEnabled());

    // 添加, by button and by the Return key; the list stays in date order.
    page.Type(QDate(2026, 5, 31), QStringLiteral("annual return"));
    QTest::mouseClick(page.add, Qt::LeftButton);
    page.Type(QDate(2026, 3, 15), QStringLiteral("pay VAT"));
    QTest::keyClick(page.text, Qt::Key_Return);
    EXPECT_EQ(page.Rows(), QStringList({"2026/03/15  pay VAT", "2026/05/31  annual return"}));
    EXPECT_EQ(Saved(), QStringList({"2026-03-15 pay VAT", "2026-05-31 annual return"}));
    EXPECT_TRUE(page.text->text().isEmpty()) << "the editor is ready for the next note";

    // 修改: the selected note takes the editor's date and text, and moves to its new place.
    page.list->setCurrentRow(0);
    EXPECT_EQ(page.text->text(), QStringLiteral("pay VAT")) << "selecting shows the note in the editor";
    EXPECT_EQ(page.date->date(), QDate(2026, 3, 15));
    ASSERT_TRUE(page.change->isEnabled());
    page.Type(QDate(2026, 6, 15), QStringLiteral("pay VAT for May"));
    QTest::mouseClick(page.change, Qt::LeftButton);
    EXPECT_EQ(page.Rows(), QStringList({"2026/05/31  annual return", "2026/06/15  pay VAT for May"}));
    EXPECT_EQ(Saved(), QStringList({"2026-05-31 annual return", "2026-06-15 pay VAT for May"}));

    // 删除: the selected note only.
    page.list->setCurrentRow(0);
    ASSERT_TRUE(page.remove->isEnabled());
    QTest::mouseClick(page.remove, Qt::LeftButton);
    EXPECT_EQ(page.Rows(), QStringList({"2026/06/15  pay VAT for May"}));
    EXPECT_EQ(Saved(), QStringList({"2026-06-15 pay VAT for May"}));

    // Every save replaced the file whole: nothing but the notes file is left in its folder.
    EXPECT_EQ(QDir(QFileInfo(NotesFile()).path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({QFileInfo(NotesFile()).fileName()}));

    // The next start of the desk reads them again.
    Unload();
    TNotesPage again = Open(1);
    ASSERT_NE(again.window, nullptr);
    EXPECT_EQ(again.Rows(), QStringList({"2026/06/15  pay VAT for May"}));
}

TEST_P(TaxNotesPlugin, SearchOfVersionOneOneNarrowsTheListAndChangesTheNoteFound) {
    TNotesPage page = Open(0);
    ASSERT_NE(page.window, nullptr);
    for (const auto& [day, note] : {std::pair{QDate(2026, 1, 10), QStringLiteral("VAT for December")},
                                    std::pair{QDate(2026, 2, 10), QStringLiteral("payroll")},
                                    std::pair{QDate(2026, 3, 10), QStringLiteral("vat for February")}}) {
        page.Type(day, note);
        QTest::mouseClick(page.add, Qt::LeftButton);
    }
    if (!GetParam().search) {
        EXPECT_EQ(page.list->count(), 3) << "1.0 shows every note";
        return;
    }
    EXPECT_EQ(page.count->text(), QStringLiteral("共 3 条便签"));
    page.search->setText(QStringLiteral("Vat"));
    EXPECT_EQ(page.Rows(), QStringList({"2026/01/10  VAT for December", "2026/03/10  vat for February"}));
    EXPECT_EQ(page.count->text(), QStringLiteral("找到 2 条，共 3 条便签"));

    // The second row found is the third note: changing and deleting act on that one.
    page.list->setCurrentRow(1);
    page.Type(QDate(2026, 3, 10), QStringLiteral("VAT for February, paid"));
    QTest::mouseClick(page.change, Qt::LeftButton);
    EXPECT_EQ(Saved(), QStringList({"2026-01-10 VAT for December", "2026-02-10 payroll",
                                    "2026-03-10 VAT for February, paid"}));
    page.list->setCurrentRow(0);
    QTest::mouseClick(page.remove, Qt::LeftButton);
    EXPECT_EQ(Saved(), QStringList({"2026-02-10 payroll", "2026-03-10 VAT for February, paid"}));
    EXPECT_EQ(page.Rows(), QStringList({"2026/03/10  VAT for February, paid"}));
    EXPECT_EQ(page.count->text(), QStringLiteral("找到 1 条，共 2 条便签"));

    page.search->clear();
    EXPECT_EQ(page.list->count(), 2);
    EXPECT_EQ(page.count->text(), QStringLiteral("共 2 条便签"));
}

INSTANTIATE_TEST_SUITE_P(PublishedVersions, TaxNotesPlugin, ::testing::ValuesIn(kVersions),
                         [](const ::testing::TestParamInfo<TVersion>& row) {
                             return std::string("v") + (row.param.search ? "1_1" : "1_0");
                         });

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
