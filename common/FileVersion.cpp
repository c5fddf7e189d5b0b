#include "common/FileVersion.h"

#include "common/Paths.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

namespace qm {

namespace {

// The file is untrusted: every read is checked against the file's size, and any inconsistency
// ends the search with "no version".
class TElfReader {
public:
    explicit TElfReader(const std::string& fileName) : stream_(fileName, std::ios::binary) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(fileName, error))
            return;
        const auto size = std::filesystem::file_size(fileName, error);
        if (!error && stream_)
            size_ = size;
    }

    bool Read(std::uint64_t offset, void* buffer, std::size_t count) {
        if (offset > size_ || count > size_ - offset)
            return false;
        stream_.clear();
        stream_.seekg(static_cast<std::streamoff>(offset));
        stream_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
        return static_cast<std::size_t>(stream_.gcount()) == count;
    }

    std::uint64_t Size() const { return size_; }

private:
    std::ifstream stream_;
    std::uint64_t size_ = 0;
};

struct TSection {
    std::uint32_t name = 0;
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t link = 0;
};

constexpr std::uint32_t kSectionNoBits = 8;      // SHT_NOBITS: occupies no room in the file
constexpr std::uint32_t kExtendedIndex = 0xffff; // SHN_XINDEX

class TElfSections {
public:
    explicit TElfSections(TElfReader& reader) : reader_(reader) {}

    // Reads the ELF header; false when this is no ELF file we can walk.
    bool Open() {
        std::array<unsigned char, 64> header{};
        constexpr std::array<unsigned char, 4> kMagic = {0x7f, 'E', 'L', 'F'};
        if (!reader_.Read(0, header.data(), 16) || !std::equal(kMagic.begin(), kMagic.end(), header.begin()))
            return false;
        is64_ = header[4] == 2;
        bigEndian_ = header[5] == 2;
        if ((header[4] != 1 && header[4] != 2) || (header[5] != 1 && header[5] != 2))
            return false;
        const std::size_t headerSize = is64_ ? 64 : 52;
        if (!reader_.Read(0, header.data(), headerSize))
            return false;
        const unsigned char* h = header.data();
        sectionTable_ = is64_ ? Get(h + 0x28, 8) : Get(h + 0x20, 4);
        entrySize_ = Get(h + (is64_ ? 0x3a : 0x2e), 2);
        count_ = Get(h + (is64_ ? 0x3c : 0x30), 2);
        namesIndex_ = Get(h + (is64_ ? 0x3e : 0x32), 2);
        if (sectionTable_ == 0 || entrySize_ < (is64_ ? 64u : 40u))
            return false;
        // Many sections: the real count and the names' index live in the first section header.
        if (count_ == 0 || namesIndex_ == kExtendedIndex) {
            const auto first = ReadRaw(0);
            if (!first)
                return false;
            if (count_ == 0)
                count_ = first->size;
            if (namesIndex_ == kExtendedIndex)
                namesIndex_ = first->link;
        }
        if (count_ == 0 || count_ > (reader_.Size() - std::min(reader_.Size(), sectionTable_)) / entrySize_)
            return false;
        return namesIndex_ < count_;
    }

    std::uint64_t Count() const { return count_; }

    std::optional<TSection> Section(std::uint64_t index) const {
        if (index >= count_)
            return std::nullopt;
        return ReadRaw(index);
    }

    // True when the section's name in the section-name table is exactly name.
    bool HasName(const TSection& section, const char* name) const {
        const auto names = Section(namesIndex_);
        if (!names || names->type == kSectionNoBits)
            return false;
        const std::size_t length = std::strlen(name) + 1; // with its terminating zero
        if (names->offset > reader_.Size() || names->size > reader_.Size() - names->offset ||
            section.name > names->size || length > names->size - section.name)
            return false;
        std::array<char, 64> buffer{};
        if (length > buffer.size() || !reader_.Read(names->offset + section.name, buffer.data(), length))
            return false;
        return std::memcmp(buffer.data(), name, length) == 0;
    }

private:
    std::optional<TSection> ReadRaw(std::uint64_t index) const {
        std::array<unsigned char, 64> raw{};
        const std::size_t size = is64_ ? 64 : 40;
        // Overflow-safe: the entry must start inside the file.
        if (sectionTable_ > reader_.Size() || index > (reader_.Size() - sectionTable_) / entrySize_ ||
            !reader_.Read(sectionTable_ + index * entrySize_, raw.data(), size))
            return std::nullopt;
        const unsigned char* r = raw.data();
        TSection section;
        section.name = static_cast<std::uint32_t>(Get(r, 4));
        section.type = static_cast<std::uint32_t>(Get(r + 4, 4));
        section.offset = is64_ ? Get(r + 24, 8) : Get(r + 16, 4);
        section.size = is64_ ? Get(r + 32, 8) : Get(r + 20, 4);
        section.link = static_cast<std::uint32_t>(is64_ ? Get(r + 40, 4) : Get(r + 24, 4));
        return section;
    }

    std::uint64_t Get(const unsigned char* p, int bytes) const {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            const int shift = bigEndian_ ? (bytes - 1 - i) * 8 : i * 8;
            value |= std::uint64_t{p[i]} << shift;
        }
        return value;
    }

    TElfReader& reader_;
    bool is64_ = false;
    bool bigEndian_ = false;
    std::uint64_t sectionTable_ = 0;
    std::uint64_t entrySize_ = 0;
    std::uint64_t count_ = 0;
    std::uint64_t namesIndex_ = 0;
};

// "a.b.c.d" with four non-empty runs of at most nine digits.
bool IsVersionText(const std::string& text) {
    int groups = 1;
    int digits = 0;
    for (const char c : text) {
        if (c == '.') {
            if (digits == 0)
                return false;
            ++groups;
            digits = 0;
        } else if (c >= '0' && c <= '9') {
            if (++digits > 9)
                return false;
        } else {
            return false;
        }
    }
    return groups == 4 && digits > 0;
}

} // namespace

std::string GetFileVersionText(const std::string& fileName) {
    TElfReader reader(ToNativePath(fileName));
    TElfSections sections(reader);
    if (!sections.Open())
        return {};
    for (std::uint64_t i = 1; i < sections.Count(); ++i) {
        const auto section = sections.Section(i);
        if (!section)
            return {};
        if (section->type == kSectionNoBits || !sections.HasName(*section, kVersionSectionName))
            continue;
        std::array<char, 48> stamp{};
        const std::size_t length =
            static_cast<std::size_t>(std::min<std::uint64_t>(section->size, stamp.size()));
        if (length == 0 || !reader.Read(section->offset, stamp.data(), length))
            return {};
        const auto end = std::find(stamp.begin(), stamp.begin() + static_cast<std::ptrdiff_t>(length), '\0');
        const std::string text(stamp.begin(), end);
        return IsVersionText(text) ? text : std::string();
    }
    return {};
}

} // namespace qm
