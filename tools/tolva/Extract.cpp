#include "tools/tolva/Extract.h"

#include "tools/tolva/EntryPath.h"

#include <archive.h>
#include <archive_entry.h>
#include <memory>
#include <string>
#include <vector>

namespace qm::tolva {

namespace {

struct ReaderFree {
    void operator()(archive* reader) const noexcept { archive_read_free(reader); }
};
struct WriterFree {
    void operator()(archive* writer) const noexcept { archive_write_free(writer); }
};

constexpr std::size_t kBlockSize = 64 * 1024;

// libarchive's own guards as well: no "..", no absolute names, nothing written through a link
// that is already on disk (a link in the entry's own place is replaced; existing files are
// overwritten).
constexpr int kWriteFlags = ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                            ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS;

// The archive's links so far, written or refused: what the archive puts under one of them is
// refused, since it would go wherever the link points.
class ArchiveLinks {
public:
    void Add(const std::string& name) { names_.push_back(Trimmed(name)); }
    bool Under(const std::string& name) const {
        const std::string path = Trimmed(name);
        for (const std::string& link : names_) {
            if (path.size() > link.size() && path.compare(0, link.size(), link) == 0 &&
                path[link.size()] == '/')
                return true;
        }
        return false;
    }

private:
    static std::string Trimmed(std::string name) {
        while (name.size() > 1 && name.back() == '/')
            name.pop_back();
        while (name.rfind("./", 0) == 0)
            name.erase(0, 2);
        return name;
    }
    std::vector<std::string> names_;
};

// Why the entry must not be written, or "".
std::string Refusal(archive_entry* entry, const ArchiveLinks& links) {
    const char* name = archive_entry_pathname(entry);
    std::string why = RefuseName(name ? name : "");
    if (!why.empty())
        return why;
    if (links.Under(name))
        return "through a link";
    if (const char* hardlink = archive_entry_hardlink(entry)) {
        why = RefuseName(hardlink);
        if (!why.empty())
            return "hard link target: " + why;
    }
    if (archive_entry_filetype(entry) == AE_IFLNK) {
        const char* target = archive_entry_symlink(entry);
        return RefuseLinkTarget(name, target ? target : "");
    }
    return "";
}

bool CopyData(archive* reader, archive* writer) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    for (;;) {
        const int status = archive_read_data_block(reader, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            return true;
        if (status < ARCHIVE_WARN)
            return false;
        if (archive_write_data_block(writer, block, size, offset) < ARCHIVE_WARN)
            return false;
    }
}

} // namespace

int ExtractHere(const std::string& archivePath, std::ostream& errors) {
    const std::unique_ptr<archive, ReaderFree> reader(archive_read_new());
    const std::unique_ptr<archive, WriterFree> writer(archive_write_disk_new());
    if (!reader || !writer) {
        errors << "out of memory\n";
        return 1;
    }
    archive_read_support_format_all(reader.get());
    archive_read_support_filter_all(reader.get());
    archive_write_disk_set_options(writer.get(), kWriteFlags);
    archive_write_disk_set_standard_lookup(writer.get());
    if (archive_read_open_filename(reader.get(), archivePath.c_str(), kBlockSize) != ARCHIVE_OK) {
        errors << archivePath << ": " << archive_error_string(reader.get()) << "\n";
        return 1;
    }
    bool complete = true;
    ArchiveLinks links;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN) {
            errors << archivePath << ": " << archive_error_string(reader.get()) << "\n";
            return 1;
        }
        const char* name = archive_entry_pathname(entry);
        const std::string shown = name ? name : "";
        const std::string why = Refusal(entry, links);
        if (archive_entry_filetype(entry) == AE_IFLNK)
            links.Add(shown);
        if (!why.empty()) {
            errors << "refused: " << shown << " (" << why << ")\n";
            complete = false;
            continue;
        }
        if (archive_write_header(writer.get(), entry) < ARCHIVE_WARN ||
            (archive_entry_size(entry) > 0 && !CopyData(reader.get(), writer.get())) ||
            archive_write_finish_entry(writer.get()) < ARCHIVE_WARN) {
            errors << "not written: " << shown << " (" << archive_error_string(writer.get()) << ")\n";
            complete = false;
        }
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK) {
        errors << "not finished: " << archive_error_string(writer.get()) << "\n";
        complete = false;
    }
    return complete ? 0 : 1;
}

} // namespace qm::tolva
