#pragma once

#include "sample/publish/taxnotes/NotesFile.h"

#include <QWidget>

class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qm {

// The notes page: a list of dated notes that the user adds, changes and deletes; every change is
// saved at once to the user's notes file, which is read again when the window is made. Registered
// in the handle table (control and form) while it lives, so that a desk page can take it in.
class TfrmTaxNotes : public QWidget {
public:
    // folder is the application's folder (ending with a separator), where the notes are kept.
    explicit TfrmTaxNotes(const QString& folder, QWidget* parent = nullptr);
    ~TfrmTaxNotes() override;

    // How many notes the window holds.
    int NoteCount() const noexcept { return static_cast<int>(notes_.size()); }

private:
    void Load();
    void Refill(int selectNote = -1);
    void ShowSelected();
    int SelectedNote() const;
    void AddNote();
    void ChangeNote();
    void DeleteNote();
    void Save();
    void Complain(const QString& message);

    QString file_;
    std::vector<TNote> notes_;
    bool writable_ = true; // false when an unreadable notes file could not be set aside

    QListWidget* lstNotes = nullptr; // owned by this window, like the controls below
    QDateEdit* dteDate = nullptr;
    QLineEdit* edtText = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnChange = nullptr;
    QPushButton* btnDelete = nullptr;
    QLineEdit* edtSearch = nullptr; // only where the search is built in
    QLabel* lblCount = nullptr;     // likewise
};

} // namespace qm
