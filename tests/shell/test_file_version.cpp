#include "common/FileVersion.h"

#include <QTemporaryDir>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

using qm::GetFileVersionText;

namespace {

using TBytes = std::vector<unsigned char>;

TBytes ReadAll(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& fileName, const TBytes& bytes, std::size_t count) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(count));
}

void WriteAll(const std::string& fileName, const TBytes& bytes) {
    WriteAll(fileName, bytes, bytes.size());
}

// A minimal relocatable ELF file with three sections: none, the section names, and one section
// whose name, type and contents the test chooses. Every field can be spoilt afterwards.
struct TSyntheticElf {
    bool is64 = true;
    bool bigEndian = false;
    std::string sectionName = ".qm_version";
    std::uint32_t sectionType = 1; // PROGBITS
    std::string contents = std::string("1.2.3.4") + '\0';

    // Offsets of fields inside the built file, for spoiling them.
    std::size_t sectionTableField = 0;
    std::size_t namesIndexField = 0;
    std::size_t stampNameField = 0;

    TBytes Build() {
        const std::size_t headerSize = is64 ? 64 : 52;
        const std::size_t entrySize = is64 ? 64 : 40;
        const std::string names = std::string("\0.shstrtab\0", 11) + sectionName + '\0';
        const std::size_t namesOffset = headerSize;
        const std::size_t stampOffset = namesOffset + names.size();
        const std::size_t tableOffset = stampOffset + contents.size();
        TBytes elf = {0x7f,
                      'E',
                      'L',
                      'F',
                      static_cast<unsigned char>(is64 ? 2 : 1),
                      static_cast<unsigned char>(bigEndian ? 2 : 1),
                      1};
        elf.resize(tableOffset + 3 * entrySize, 0);
        Put(elf, 16, 1, 2); // relocatable
        Put(elf, 20, 1, 4);
        sectionTableField = is64 ? 0x28 : 0x20;
        Put(elf, sectionTableField, tableOffset, is64 ? 8 : 4);
        Put(elf, is64 ? 52 : 40, headerSize, 2);
        Put(elf, is64 ? 0x3a : 0x2e, entrySize, 2);
        Put(elf, is64 ? 0x3c : 0x30, 3, 2);
        namesIndexField = is64 ? 0x3e : 0x32;
        Put(elf, namesIndexField, 1, 2);
        std::copy(names.begin(), names.end(), elf.begin() + static_cast<std::ptrdiff_t>(namesOffset));
        std::copy(contents.begin(), contents.end(), elf.begin() + static_cast<std::ptrdiff_t>(stampOffset));
        SectionHeader(elf, tableOffset + entrySize, 1, 3, namesOffset, names.size());
        stampNameField = tableOffset + 2 * entrySize;
        SectionHeader(elf, stampNameField, 11, sectionType, stampOffset, contents.size());
        return elf;
    }

    void Put(TBytes& elf, std::size_t at, std::uint64_t value, int bytes) const {
        for (int i = 0; i < bytes; ++i) {
            const int shift = bigEndian ? (bytes - 1 - i) * 8 : i * 8;
            elf.at(at + static_cast<std::size_t>(i)) = static_cast<unsigned char>(value >> shift);
        }
    }

    void SectionHeader(TBytes& elf, std::size_t at, std::uint32_t name, std::uint32_t type,
                       std::uint64_t offset, std::uint64_t size) const {
        Put(elf, at, name, 4);
        Put(elf, at + 4, type, 4);
        Put(elf, at + (is64 ? 24 : 16), offset, is64 ? 8 : 4);
        Put(elf, at + (is64 ? 32 : 20), size, is64 ? 8 : 4);
    }
};

class FileVersionTest : public ::testing::Test {
protected:
    std::string Path(const char* name) const {
        return dir_.filePath(QString::fromLatin1(name)).toStdString();
    }

    std::string VersionOf(const TBytes& bytes) const {
        const std::string file = Path("probe.bin");
        WriteAll(file, bytes);
        return GetFileVersionText(file);
    }

    QTemporaryDir dir_;
};

} // namespace

TEST_F(FileVersionTest, OurBinariesCarryTheProjectVersion) {
    EXPECT_EQ(GetFileVersionText(QUILLMERE_BINARY), PROJECT_VERSION_TEXT);
    EXPECT_EQ(GetFileVersionText(STAMPED_PROBE), PROJECT_VERSION_TEXT);
    // A copy is as good as the original.
    const TBytes host = ReadAll(QUILLMERE_BINARY);
    EXPECT_EQ(VersionOf(host), PROJECT_VERSION_TEXT);
}

TEST_F(FileVersionTest, FilesWithoutOurVersionGiveEmptyText) {
    if (std::filesystem::exists("/bin/true")) {
        EXPECT_EQ(GetFileVersionText("/bin/true"), "");
    }
    const std::string text = Path("readme.txt");
    std::ofstream(text) << "0.1.0.1\nnot a program\n";
    EXPECT_EQ(GetFileVersionText(text), "");
    EXPECT_EQ(GetFileVersionText(Path("missing.so")), "");
    EXPECT_EQ(GetFileVersionText(dir_.path().toStdString()), "");
    EXPECT_EQ(GetFileVersionText(""), "");
}

TEST_F(FileVersionTest, TruncatedCopiesOfTheHostGiveEmptyText) {
    const TBytes host = ReadAll(QUILLMERE_BINARY);
    ASSERT_GT(host.size(), 4096u);
    for (const std::size_t length : {std::size_t{0}, std::size_t{4}, std::size_t{16}, std::size_t{63},
                                     std::size_t{64}, host.size() / 2, host.size() - 1}) {
        SCOPED_TRACE(length);
        const std::string file = Path("truncated.bin");
        WriteAll(file, host, length);
        EXPECT_EQ(GetFileVersionText(file), "");
    }
}

TEST_F(FileVersionTest, DamagedStampGivesEmptyText) {
    TBytes host = ReadAll(QUILLMERE_BINARY);
    const std::string stamp = std::string(PROJECT_VERSION_TEXT) + '\0';
    const auto at = std::search(host.begin(), host.end(), stamp.begin(), stamp.end());
    ASSERT_NE(at, host.end());
    at[0] = 'x';
    EXPECT_EQ(VersionOf(host), "");
}

TEST_F(FileVersionTest, ReadsTheSectionInEitherWordSizeAndByteOrder) {
    for (const bool is64 : {true, false}) {
        for (const bool bigEndian : {false, true}) {
            SCOPED_TRACE(std::string(is64 ? "64" : "32") + (bigEndian ? " big-endian" : " little-endian"));
            TSyntheticElf elf;
            elf.is64 = is64;
            elf.bigEndian = bigEndian;
            EXPECT_EQ(VersionOf(elf.Build()), "1.2.3.4");
        }
    }
}

TEST_F(FileVersionTest, SectionMustBeExactlyOursAndHoldFourNumbers) {
    struct TCase {
        const char* what;
        std::string name;
        std::uint32_t type;
        std::string contents;
        const char* expected;
    };
    const TCase cases[] = {
        {"longer name", ".qm_versions", 1, std::string("1.2.3.4") + '\0', ""},
        {"no file contents", ".qm_version", 8, std::string("1.2.3.4") + '\0', ""},
        {"three numbers", ".qm_version", 1, std::string("1.2.3") + '\0', ""},
        {"a letter", ".qm_version", 1, std::string("1.2.x.4") + '\0', ""},
        {"empty group", ".qm_version", 1, std::string("1..3.4") + '\0', ""},
        {"unterminated", ".qm_version", 1, "10.20.30.40", "10.20.30.40"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        TSyntheticElf elf;
        elf.sectionName = c.name;
        elf.sectionType = c.type;
        elf.contents = c.contents;
        EXPECT_EQ(VersionOf(elf.Build()), c.expected);
    }
}

TEST_F(FileVersionTest, WildOffsetsGiveEmptyText) {
    TSyntheticElf elf;
    const TBytes good = elf.Build();
    ASSERT_EQ(VersionOf(good), "1.2.3.4");

    TBytes beyondEnd = good;
    elf.Put(beyondEnd, elf.sectionTableField, good.size() + 10, 8);
    EXPECT_EQ(VersionOf(beyondEnd), "");

    // Offset plus index would wrap around 64 bits to a small number.
    TBytes wrapping = good;
    elf.Put(wrapping, elf.sectionTableField, ~std::uint64_t{0} - 63, 8);
    EXPECT_EQ(VersionOf(wrapping), "");

    TBytes namesIndex = good;
    elf.Put(namesIndex, elf.namesIndexField, 7, 2);
    EXPECT_EQ(VersionOf(namesIndex), "");

    TBytes nameOffset = good;
    elf.Put(nameOffset, elf.stampNameField, 0xfffffff0u, 4);
    EXPECT_EQ(VersionOf(nameOffset), "");

    // The stamp section's contents said to lie past the end of the file.
    TBytes contents = good;
    elf.Put(contents, elf.stampNameField + 24, good.size() - 2, 8);
    EXPECT_EQ(VersionOf(contents), "");
}
