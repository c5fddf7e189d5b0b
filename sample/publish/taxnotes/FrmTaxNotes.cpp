#include "sample/publish/taxnotes/FrmTaxNotes.h"

#include "common/LogChannels.h"
#include "common/MsgDialog.h"
#include "corvane/HandleTable.h"

#include <QDateEdit>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcTaxNotes, "quillmere.taxnotes", QtInfoMsg)

namespace qm {

namespace {

const QString kShownDate = QStringLiteral("yyyy/MM/dd");

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent); // owned by parent
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

TfrmTaxNotes::TfrmTaxNotes(const QString& folder, QWidget* parent)
    : QWidget(parent), file_(NotesFileOf(folder)) {
    setObjectName(QStringLiteral("frmTaxNotes"));
    setWindowTitle(QStringLiteral("税务便签"));
    resize(560, 400);

    // Made first, so that it comes first in the focus chain: the cursor waits there when the page opens.
    edtText = new QLineEdit(this);
    edtText->setObjectName(QStringLiteral("edtText"));
    edtText->setPlaceholderText(QStringLiteral("便签内容，回车添加"));
    dteDate = new QDateEdit(QDate::currentDate(), this);
    dteDate->setObjectName(QStringLiteral("dteDate"));
    dteDate->setDisplayFormat(kShownDate);
    dteDate->setCalendarPopup(true);
    btnAdd = Button("btnAdd", QStringLiteral("添加"), this);
    btnChange = Button("btnChange", QStringLiteral("修改"), this);
    btnDelete = Button("btnDelete", QStringLiteral("删除"), this);
    lstNotes = new QListWidget(this);
    lstNotes->setObjectName(QStringLiteral("lstNotes"));

    auto* editor = new QHBoxLayout; // owned by the page layout below
    editor->addWidget(dteDate);
    editor->addWidget(edtText, 1);
    for (QPushButton* button : {btnAdd, btnChange, btnDelete})
        editor->addWidget(button);
    auto* layout = new QVBoxLayout(this); // owned by this window
    layout->addLayout(editor);
#if TAXNOTES_SEARCH
    edtSearch = new QLineEdit(this);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtSearch->setPlaceholderText(QStringLiteral("搜索便签"));
    edtSearch->setClearButtonEnabled(true);
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    auto* search = new QHBoxLayout; // owned by the page layout
    search->addWidget(edtSearch, 1);
    search->addWidget(lblCount);
    layout->addLayout(search);
    connect(edtSearch, &QLineEdit::textChanged, this, [this] { Refill(SelectedNote()); });
#endif
    layout->addWidget(lstNotes, 1);
    setFocusProxy(edtText);

    connect(edtText, &QLineEdit::returnPressed, this, &TfrmTaxNotes::AddNote);
    connect(btnAdd, &QPushButton::clicked, this, &TfrmTaxNotes::AddNote);
    connect(btnChange, &QPushButton::clicked, this, &TfrmTaxNotes::ChangeNote);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmTaxNotes::DeleteNote);
    connect(lstNotes, &QListWidget::currentRowChanged, this, &TfrmTaxNotes::ShowSelected);

    Load();
    Refill();
    corvane::Handles().Register(static_cast<QWidget*>(this), corvane::kHandleControl | corvane::kHandleForm);
}

TfrmTaxNotes::~TfrmTaxNotes() {
    corvane::Handles().Unregister(static_cast<QWidget*>(this));
}

void TfrmTaxNotes::Load() {
    TNotesRead read = ReadNotes(file_);
    notes_ = std::move(read.notes);
    if (read.problem.isEmpty())
        return;
    // A damaged file is kept aside, never overwritten by the next save.
    const QString aside = file_ + QStringLiteral(".damaged");
    QFile::remove(aside);
    writable_ = QFile::rename(file_, aside);
    QString message = QStringLiteral("便签文件(%1)无法读取：%2。").arg(file_, read.problem);
    message += writable_ ? QStringLiteral("原文件已另存为 %1。").arg(aside)
                         : QStringLiteral("原文件无法移开，便签不能保存。");
    for (QWidget* control : {static_cast<QWidget*>(btnAdd), static_cast<QWidget*>(btnChange),
                             static_cast<QWidget*>(btnDelete), static_cast<QWidget*>(edtText)})
        control->setEnabled(writable_);
    // Told once the page is up, not in the middle of the request that makes the window.
    QTimer::singleShot(0, this, [this, message] { Complain(message); });
}

// Shows the notes that match the search (all of them without one), selecting selectNote.
void TfrmTaxNotes::Refill(int selectNote) {
    const QString wanted = edtSearch ? edtSearch->text().trimmed() : QString();
    const QSignalBlocker quiet(lstNotes);
    lstNotes->clear();
    for (std::size_t index = 0; index < notes_.size(); ++index) {
        const TNote& note = notes_[index];
        if (!wanted.isEmpty() && !note.text.contains(wanted, Qt::CaseInsensitive))
            continue;
        auto* item = new QListWidgetItem(note.date.toString(kShownDate) + QStringLiteral("  ") + note.text,
                                         lstNotes); // owned by the list
        item->setData(Qt::UserRole, static_cast<int>(index));
        if (static_cast<int>(index) == selectNote)
            lstNotes->setCurrentItem(item);
    }
    if (lblCount != nullptr)
        lblCount->setText(
            wanted.isEmpty()
                ? QStringLiteral("共 %1 条便签").arg(notes_.size())
                : QStringLiteral("找到 %1 条，共 %2 条便签").arg(lstNotes->count()).arg(notes_.size()));
    btnChange->setEnabled(writable_ && lstNotes->currentItem() != nullptr);
    btnDelete->setEnabled(writable_ && lstNotes->currentItem() != nullptr);
}

int TfrmTaxNotes::SelectedNote() const {
    const QListWidgetItem* item = lstNotes->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : -1;
}

void TfrmTaxNotes::ShowSelected() {
    const int index = SelectedNote();
    btnChange->setEnabled(writable_ && index >= 0);
    btnDelete->setEnabled(writable_ && index >= 0);
    if (index < 0)
        return;
    dteDate->setDate(notes_[index].date);
    edtText->setText(notes_[index].text);
}

void TfrmTaxNotes::AddNote() {
    const QString text = edtText->text().trimmed();
    if (text.isEmpty() || !writable_)
        return;
    notes_.push_back({dteDate->date(), text});
    SortNotes(notes_);
    Save();
    edtText->clear();
}

void TfrmTaxNotes::ChangeNote() {
    const int index = SelectedNote();
    const QString text = edtText->text().trimmed();
    if (index < 0 || text.isEmpty() || !writable_)
        return;
    notes_[index] = {dteDate->date(), text};
    SortNotes(notes_);
    Save();
}

void TfrmTaxNotes::DeleteNote() {
    const int index = SelectedNote();
    if (index < 0 || !writable_)
        return;
    notes_.erase(notes_.begin() + index);
    Save();
    edtText->clear();
}

void TfrmTaxNotes::Save() {
    Refill();
    const QString problem = WriteNotes(file_, notes_);
    if (!problem.isEmpty())
        Complain(QStringLiteral("便签未能保存(%1)：%2").arg(file_, problem));
}

void TfrmTaxNotes::Complain(const QString& message) {
    LogWarning(lcTaxNotes, "税务便签：" + message.toStdString());
    MsgDlg(message.toStdString(), TMsgKind::Warning, {TMsgButton::OK}, TMsgButton::OK);
}

} // namespace qm
