#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qm {

// One rename of an update's placement, as the journal records it before the first rename.
struct TJournalEntry {
    enum class Kind : char {
        Added = 'A',        // nothing was at the path; the move put it there
        Replaced = 'R',     // a file or link was there; it is kept in Backup/replaced
        FileToFolder = 'F', // a file or link was there and a folder takes its place
    };
    Kind What = Kind::Added;
    std::filesystem::path Relative; // inside the installation
};

// Writes the journal of a placement to `file`: its entries after a header with their length and
// a CRC-32, through a temporary file that is flushed, renamed and whose folder is flushed, so that
// the journal is whole on disk before any move starts. "" when written, else why not.
std::string WriteJournal(const std::filesystem::path& file, const std::vector<TJournalEntry>& entries);

// What a journal holds. `Why` is "" when it was read whole; otherwise what is wrong with it (cut
// short, damaged, unreadable) and `Entries` is empty: a journal that cannot be trusted undoes
// nothing.
struct TJournalRead {
    std::vector<TJournalEntry> Entries;
    std::string Why;
};

// Reads and checks a journal written by WriteJournal.
TJournalRead ReadJournal(const std::filesystem::path& file);

} // namespace qm
