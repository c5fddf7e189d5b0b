#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace qm::test {

// One entry of a test archive: a file with its bytes, a folder (name ending in "/"), or a link.
struct ArchiveEntry {
    enum class Kind { File, Folder, Symlink, Hardlink };
    Kind kind;
    std::string name;
    std::string content; // the bytes of a file, the target of a link
    unsigned mode = 0;   // permission bits as stored; 0: 0755 for a folder, 0644 otherwise

    static ArchiveEntry File(std::string name, std::string content) {
        return {Kind::File, std::move(name), std::move(content)};
    }
    static ArchiveEntry Folder(std::string name, unsigned mode = 0) {
        return {Kind::Folder, std::move(name), "", mode};
    }
    static ArchiveEntry FileWithMode(std::string name, std::string content, unsigned mode) {
        return {Kind::File, std::move(name), std::move(content), mode};
    }
    static ArchiveEntry Symlink(std::string name, std::string target) {
        return {Kind::Symlink, std::move(name), std::move(target)};
    }
    static ArchiveEntry Hardlink(std::string name, std::string target) {
        return {Kind::Hardlink, std::move(name), std::move(target)};
    }
};

// Writes the entries, names exactly as given, into a zip file (or a tar file, for hard links,
// which zip cannot hold).
inline void WriteArchive(const std::string& fileName, const std::vector<ArchiveEntry>& entries,
                         bool tar = false) {
    const std::unique_ptr<archive, int (*)(archive*)> writer(archive_write_new(), archive_write_free);
    if (tar)
        archive_write_set_format_pax_restricted(writer.get());
    else
        archive_write_set_format_zip(writer.get());
    if (archive_write_open_filename(writer.get(), fileName.c_str()) != ARCHIVE_OK)
        throw std::runtime_error("cannot create " + fileName);
    for (const ArchiveEntry& item : entries) {
        const std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(),
                                                                             archive_entry_free);
        archive_entry_set_pathname(entry.get(), item.name.c_str());
        archive_entry_set_perm(entry.get(), item.mode != 0                            ? item.mode
                                            : item.kind == ArchiveEntry::Kind::Folder ? 0755
                                                                                      : 0644);
        switch (item.kind) {
        case ArchiveEntry::Kind::File:
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_size(entry.get(), static_cast<la_int64_t>(item.content.size()));
            break;
        case ArchiveEntry::Kind::Folder:
            archive_entry_set_filetype(entry.get(), AE_IFDIR);
            break;
        case ArchiveEntry::Kind::Symlink:
            archive_entry_set_filetype(entry.get(), AE_IFLNK);
            archive_entry_set_symlink(entry.get(), item.content.c_str());
            break;
        case ArchiveEntry::Kind::Hardlink:
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_hardlink(entry.get(), item.content.c_str());
            break;
        }
        if (archive_write_header(writer.get(), entry.get()) != ARCHIVE_OK)
            throw std::runtime_error(std::string("cannot add ") + item.name + ": " +
                                     archive_error_string(writer.get()));
        if (item.kind == ArchiveEntry::Kind::File && !item.content.empty())
            archive_write_data(writer.get(), item.content.data(), item.content.size());
    }
    archive_write_close(writer.get());
}

} // namespace qm::test
