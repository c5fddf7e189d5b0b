#include "PackFiles.h"
#include "corvane/Errors.h"
#include "pictures/PngPack.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <zlib.h>

// A pack file is input from disk: cut short or carrying lengths that lie, it must be refused with
// the format error, never read past its end or make the store allocate what the lie asks for.
namespace {

using qm::TPackEntry;
using qm::TPngPack;
using qm::test::Le32;
using qm::test::MakePack;
using qm::test::SolidPng;
using qm::test::TTempFolder;
using qm::test::WriteBytes;

constexpr std::uint32_t kHuge = 0x7FFFFFFF;
constexpr std::uint32_t kNegative = 0xFFFFFFFF;
constexpr std::size_t kMagicSize = 11;
constexpr std::size_t kBlockOffset = 15;

class HostilePack : public testing::Test {
protected:
    TTempFolder pictures;
    TTempFolder config;
    TPngPack store{pictures.Path().string()};
    std::string packFile = config.File("pngs.sys");
    std::string red = SolidPng(0xFFFF0000);
    std::string blue = SolidPng(0xFF0000FF);

    // Loads bytes and checks that the format error, and only it, came out.
    void ExpectFormatError(const std::string& bytes) {
        WriteBytes(packFile, bytes);
        try {
            store.LoadFile(packFile);
            ADD_FAILURE() << "LoadFile accepted the pack";
        } catch (const corvane::ETax& error) {
            EXPECT_STREQ(error.ClassName(), "ETax");
            EXPECT_EQ(error.Message(), "文件(" + packFile + ")格式错误!");
            EXPECT_EQ(error.Location(), "TPngPack.LoadFile(AFile: string)");
        }
    }

    // A pack around a hand-made payload, with U stated as given.
    static std::string PackWithStatedSize(const std::string& payload, std::uint32_t statedSize) {
        std::string pack = qm::EncodePackFile(payload);
        pack.replace(kBlockOffset, 4, Le32(statedSize));
        return pack;
    }
    static std::string Entry(const std::string& name, const std::string& data) {
        return Le32(static_cast<std::uint32_t>(name.size())) + name +
               Le32(static_cast<std::uint32_t>(data.size())) + data;
    }
};

TEST_F(HostilePack, EveryTruncationIsRefused) {
    const std::string pack = MakePack({{"a.png", red}, {"b.png", blue}});
    for (std::size_t length = 0; length < pack.size(); ++length) {
        SCOPED_TRACE(length);
        ExpectFormatError(pack.substr(0, length));
        EXPECT_EQ(store.Count(), 0);
    }
    WriteBytes(packFile, pack);
    store.LoadFile(packFile);
    EXPECT_EQ(store.Count(), 2);
}

TEST_F(HostilePack, BlockLengthBeyondTheFileOrTooShortForUIsRefused) {
    const std::string pack = MakePack({{"a.png", red}});
    const auto withBlockLength = [&](std::uint32_t length) {
        std::string bytes = pack;
        bytes.replace(kMagicSize, 4, Le32(length));
        return bytes;
    };
    const auto realLength = static_cast<std::uint32_t>(pack.size() - kBlockOffset);
    for (const std::uint32_t length :
         {kHuge, kNegative, 0x80000000u, realLength + 1, realLength - 1, 3u, 0u}) {
        SCOPED_TRACE(length);
        ExpectFormatError(withBlockLength(length));
    }
    EXPECT_EQ(store.Count(), 0);
}

TEST_F(HostilePack, PayloadLengthThatDisagreesWithTheStreamIsRefused) {
    const std::string payload = qm::EncodePackPayload({{"a.png", red}});
    const auto realSize = static_cast<std::uint32_t>(payload.size());
    for (const std::uint32_t size : {kHuge, kNegative, 0x20000001u, realSize + 1, realSize - 1, 4u, 0u}) {
        SCOPED_TRACE(size);
        ExpectFormatError(PackWithStatedSize(payload, size));
    }
    EXPECT_EQ(store.Count(), 0);
}

TEST_F(HostilePack, CorruptCompressedDataIsRefused) {
    const std::string pack = MakePack({{"a.png", red}, {"b.png", blue}});
    // The zlib header, the deflate data and the Adler-32 trailer.
    for (const std::size_t offset :
         {kBlockOffset + 4, kBlockOffset + 5, pack.size() / 2 + 8, pack.size() - 1}) {
        SCOPED_TRACE(offset);
        std::string bytes = pack;
        bytes[offset] = static_cast<char>(bytes[offset] ^ 0x21);
        ExpectFormatError(bytes);
    }
}

TEST_F(HostilePack, EntryCountBeyondThePayloadIsRefusedBeforeReading) {
    for (const std::uint32_t count : {kHuge, kNegative, 0x10000000u}) {
        SCOPED_TRACE(count);
        std::string payload = Le32(count) + Entry("a.png", red);
        ExpectFormatError(qm::EncodePackFile(payload));
        EXPECT_EQ(store.Count(), 0);
    }
    // Empty payload: not even the count is there.
    ExpectFormatError(qm::EncodePackFile(""));
}

TEST_F(HostilePack, PayloadEndingBeforeTheLastEntryKeepsTheEntriesBeforeIt) {
    // Nothing, or only part of an entry, where the third entry should be.
    for (const std::string& tail : {std::string(), Le32(0), Le32(5) + "c.png"}) {
        SCOPED_TRACE(tail.size());
        ExpectFormatError(qm::EncodePackFile(Le32(3) + Entry("a.png", red) + Entry("b.png", blue) + tail));
        ASSERT_EQ(store.Count(), 2);
        EXPECT_NE(store.TakePNG("a.png"), nullptr);
        EXPECT_NE(store.TakePNG("b.png"), nullptr);
    }
}

TEST_F(HostilePack, NameLengthBeyondThePayloadIsRefused) {
    for (const std::uint32_t length : {kHuge, kNegative, 0x80000000u, 1000u}) {
        SCOPED_TRACE(length);
        const std::string payload = Le32(2) + Entry("a.png", red) + Le32(length) + "b.png" + Le32(4) + "data";
        ExpectFormatError(qm::EncodePackFile(payload));
        ASSERT_EQ(store.Count(), 1);
        EXPECT_NE(store.TakePNG("a.png"), nullptr);
    }
}

TEST_F(HostilePack, DataLengthBeyondThePayloadIsRefused) {
    for (const std::uint32_t length : {kHuge, kNegative, static_cast<std::uint32_t>(blue.size() + 1)}) {
        SCOPED_TRACE(length);
        const std::string payload = Le32(2) + Entry("a.png", red) + Le32(5) + "b.png" + Le32(length) + blue;
        ExpectFormatError(qm::EncodePackFile(payload));
        ASSERT_EQ(store.Count(), 1);
        EXPECT_NE(store.TakePNG("a.png"), nullptr);
    }
}

} // namespace
