#include "tools/tolva/Extract.h"

#include "tools/tolva/EntryPath.h"
#include "tools/tolva/TreeGuard.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
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
constexpr la_int64_t kTarBlock = 512;

// The library's own guards: no "..", no absolute names, nothing written through a link that is
// already on disk (a link in the entry's own place is replaced; existing files are overwritten).
constexpr int kSecureFlags = ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                             ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS;

// The library's message, or what errno says when it has none: a null message must not swallow
// the rest of the output.
std::string ErrorText(archive* handle) {
    const char* text = archive_error_string(handle);
    if (text != nullptr && *text != '\0')
        return PrintableName(text);
    const int number = archive_errno(handle);
    return number > 0 ? std::string(std::strerror(number)) : std::string("unknown error");
}

// The archive's permission bits are not trusted: a folder the desk cannot list or write breaks
// the update and every later one, and an update never needs set-id or sticky bits. Folders are
// 0755; a file keeps only whether it can be run.
mode_t InstalledMode(archive_entry* entry) {
    if (archive_entry_filetype(entry) == AE_IFDIR)
        return 0755;
    return (archive_entry_perm(entry) & 0111) != 0 ? 0755 : 0644;
}

bool IsTar(archive* reader) {
    return (archive_format(reader) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_TAR;
}

class TExtraction {
public:
    TExtraction(const std::string& archivePath, std::ostream& errors, const TExtractOptions& options)
        : archivePath_(archivePath), errors_(errors), options_(options) {}

    int Run();

private:
    bool Open();
    bool Entry(archive_entry* entry);
    std::string Refusal(archive_entry* entry, const std::string& raw, const std::string& name);
    bool CopyData(const std::string& shown, std::uint64_t declared);
    bool WithinLimits(std::uint64_t entryBytes);
    void RecheckLinks();
    int WriteFailure() const;
    void Fail(int code, const std::string& line);

    std::unique_ptr<archive, ReaderFree> reader_{archive_read_new()};
    std::unique_ptr<archive, WriterFree> writer_{archive_write_disk_new()};
    const std::string archivePath_;
    std::ostream& errors_;
    const TExtractOptions options_;
    TTreeGuard guard_;
    std::vector<std::string> links_; // symbolic links made, by name
    std::size_t entries_ = 0;
    std::uint64_t bytes_ = 0; // expanded so far
    int outcome_ = kExitDone;
};

void TExtraction::Fail(int code, const std::string& line) {
    errors_ << line << "\n";
    if (outcome_ == kExitDone)
        outcome_ = code;
}

int TExtraction::WriteFailure() const {
    const int number = archive_errno(writer_.get());
    return number == ENOSPC || number == EDQUOT ? kExitDiskFull : kExitNotWritten;
}

bool TExtraction::Open() {
    if (!reader_ || !writer_) {
        Fail(kExitNotWritten, "out of memory");
        return false;
    }
    // Only the formats updates come in: others (mtree, for one) may read files of this machine.
    archive* reader = reader_.get();
    archive_read_support_format_zip_seekable(reader); // needs the central directory: a cut zip fails
    archive_read_support_format_rar(reader);
    archive_read_support_format_rar5(reader);
    archive_read_support_format_7zip(reader);
    archive_read_support_format_tar(reader);
    archive_read_support_filter_all(reader);
    archive_write_disk_set_options(writer_.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_PERM |
                                                      (options_.libraryChecks ? kSecureFlags : 0));
    archive_write_disk_set_standard_lookup(writer_.get());
    if (archive_read_open_filename(reader, archivePath_.c_str(), kBlockSize) != ARCHIVE_OK) {
        Fail(kExitDamaged, PrintableName(archivePath_) + ": " + ErrorText(reader));
        return false;
    }
    return true;
}

int TExtraction::Run() {
    if (!Open())
        return outcome_;
    la_int64_t before = 0;
    for (;;) {
        before = archive_filter_bytes(reader_.get(), 0);
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader_.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN) {
            Fail(kExitDamaged, PrintableName(archivePath_) + ": " + ErrorText(reader_.get()));
            return outcome_;
        }
        if (++entries_ > options_.limits.maxEntries) {
            Fail(kExitTooLarge, "more than " + std::to_string(options_.limits.maxEntries) + " entries");
            return outcome_;
        }
        if (!Entry(entry))
            return outcome_;
        // Whatever was not read is passed, so that the position below is that of the next header.
        if (archive_read_data_skip(reader_.get()) < ARCHIVE_WARN) {
            Fail(kExitDamaged, PrintableName(archivePath_) + ": " + ErrorText(reader_.get()));
            return outcome_;
        }
    }
    if (entries_ == 0)
        Fail(kExitDamaged, PrintableName(archivePath_) + ": the archive holds no entries");
    // A tar file ends with an empty block; one that ends right after an entry was cut there.
    else if (IsTar(reader_.get()) && archive_filter_bytes(reader_.get(), 0) - before < kTarBlock)
        Fail(kExitDamaged, PrintableName(archivePath_) + ": truncated (the end-of-archive mark is missing)");
    if (options_.ownChecks)
        RecheckLinks();
    if (archive_write_close(writer_.get()) != ARCHIVE_OK)
        Fail(WriteFailure(), "not finished: " + ErrorText(writer_.get()));
    return outcome_;
}

std::string TExtraction::Refusal(archive_entry* entry, const std::string& raw, const std::string& name) {
    std::string why = RefuseName(raw);
    if (!why.empty())
        return why;
    if (raw.size() > kMaxNameBytes || PathParts(raw).size() > kMaxNameParts)
        return "name too long";
    const mode_t type = archive_entry_filetype(entry);
    const char* hardlink = archive_entry_hardlink(entry);
    if (hardlink == nullptr && type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK)
        return "special file";
    if (hardlink != nullptr) {
        why = RefuseName(hardlink);
        if (why.empty())
            why = guard_.RefuseHardlink(NormalizedName(hardlink));
        if (!why.empty())
            return "hard link target: " + why;
    }
    if (type == AE_IFLNK) {
        const char* target = archive_entry_symlink(entry);
        const std::string text = target ? target : "";
        why = text.size() > kMaxNameBytes ? "link target too long" : guard_.RefuseSymlink(name, text);
        if (!why.empty())
            return why;
    }
    return guard_.PrepareWrite(name);
}

bool TExtraction::Entry(archive_entry* entry) {
    const char* pathname = archive_entry_pathname(entry);
    const std::string raw = pathname ? pathname : "";
    const std::string shown = PrintableName(raw);
    const std::string name = NormalizedName(raw);
    if (options_.ownChecks) {
        const std::string why = Refusal(entry, raw, name);
        if (!why.empty()) {
            Fail(kExitRefused, "refused: " + shown + " (" + why + ")");
            return true;
        }
    }
    // The name written is the name checked.
    archive_entry_set_pathname(entry, name.c_str());
    if (const char* hardlink = archive_entry_hardlink(entry))
        archive_entry_set_hardlink(entry, NormalizedName(hardlink).c_str());
    archive_entry_set_perm(entry, InstalledMode(entry));
    const std::uint64_t declared =
        archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0 ? archive_entry_size(entry) : 0;
    if (!WithinLimits(declared))
        return false;
    if (archive_write_header(writer_.get(), entry) < ARCHIVE_WARN) {
        Fail(WriteFailure(), "not written: " + shown + " (" + ErrorText(writer_.get()) + ")");
        return outcome_ != kExitDiskFull;
    }
    const bool copied = declared == 0 || CopyData(shown, declared);
    if (archive_write_finish_entry(writer_.get()) < ARCHIVE_WARN && copied)
        Fail(WriteFailure(), "not written: " + shown + " (" + ErrorText(writer_.get()) + ")");
    if (!copied) {
        // Half a file is no file: the library would have padded it to its full size.
        unlink(name.c_str());
        return false;
    }
    if (archive_entry_filetype(entry) == AE_IFLNK)
        links_.push_back(name);
    return outcome_ != kExitDiskFull;
}

bool TExtraction::WithinLimits(std::uint64_t entryBytes) {
    if (bytes_ + entryBytes > options_.limits.maxBytes) {
        Fail(kExitTooLarge, "expands to more than " + std::to_string(options_.limits.maxBytes) + " bytes");
        return false;
    }
    if (bytes_ + entryBytes > options_.limits.freeBytes) {
        Fail(kExitDiskFull, "not enough free disk space (" + std::to_string(options_.limits.freeBytes) +
                                " bytes may be used)");
        return false;
    }
    return true;
}

bool TExtraction::CopyData(const std::string& shown, std::uint64_t declared) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    std::uint64_t end = declared; // sparse blocks far out count as written up to their end
    for (;;) {
        const int status = archive_read_data_block(reader_.get(), &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            break;
        // A warning here is a checksum that does not match: the data is damaged.
        if (status != ARCHIVE_OK) {
            Fail(kExitDamaged, "damaged: " + shown + " (" + ErrorText(reader_.get()) + ")");
            return false;
        }
        end = std::max<std::uint64_t>(end, static_cast<std::uint64_t>(offset) + size);
        if (!WithinLimits(end))
            return false;
        if (archive_write_data_block(writer_.get(), block, size, offset) < ARCHIVE_WARN) {
            Fail(WriteFailure(), "not written: " + shown + " (" + ErrorText(writer_.get()) + ")");
            return false;
        }
    }
    bytes_ += end;
    return true;
}

void TExtraction::RecheckLinks() {
    for (const std::string& name : links_) {
        const std::string why = guard_.RecheckSymlink(name);
        if (why.empty())
            continue;
        unlink(name.c_str());
        Fail(kExitRefused, "refused: " + PrintableName(name) + " (" + why + ")");
    }
}

} // namespace

int ExtractHere(const std::string& archive, std::ostream& errors, const TExtractOptions& options) {
    return TExtraction(archive, errors, options).Run();
}

} // namespace qm::tolva
