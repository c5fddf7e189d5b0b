#pragma once

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

namespace qm {

// One dated note of the notes tool.
struct TNote {
    QDate date;
    QString text;
};

// What reading a notes file gave: the notes, or why the file could not be read.
struct TNotesRead {
    std::vector<TNote> notes;
    QString problem; // empty when the file was read or is not there yet
};

// The file that keeps the notes of the user running the desk, in the application's folder
// (folder ends with a separator): "Notes/<login name>.json".
QString NotesFileOf(const QString& folder);

// Reads a notes file; a missing file is an empty list, a damaged one a problem.
TNotesRead ReadNotes(const QString& file);

// Writes the notes through a temporary file renamed over the old one, so that a failed save leaves
// the last good file whole. Empty when it worked, else why it failed.
QString WriteNotes(const QString& file, const std::vector<TNote>& notes);

// Keeps the notes ordered by date; notes of one day stay in the order they were made.
void SortNotes(std::vector<TNote>& notes);

} // namespace qm
