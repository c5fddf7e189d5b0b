#include "pictures/PngPack.h"
#include "tools/pngpack/PackWriter.h"

#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

// Loading 500 desk-sized pictures from the packed store and looking them up (as laying out the
// desk's widgets does; a packed picture is decoded only when drawn) against decoding the same 500
// loose PNG files one by one through TakePNG; and, for comparison, the pack with every picture
// also drawn. Prints figures only.
namespace {

constexpr int kImageCount = 500;
constexpr int kRounds = 7;

using TClock = std::chrono::steady_clock;

// An icon-like picture: a gradient with a soft edge, different for every index.
std::string MakePng(int index) {
    const int size = 32 + (index % 5) * 8;
    QImage image(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int edge = std::min(std::min(x, y), std::min(size - 1 - x, size - 1 - y));
            image.setPixel(x, y,
                           qRgba((x * 7 + index) % 256, (y * 5 + index * 3) % 256, (x * y + index) % 256,
                                 std::min(255, edge * 64)));
        }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw std::runtime_error("cannot encode a PNG file");
    return bytes.toStdString();
}

std::string ImageName(int index) {
    return "icons\\icon" + std::to_string(index) + ".png";
}

double Milliseconds(TClock::duration elapsed) {
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

template <class F> double BestOf(F run) {
    double best = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = TClock::now();
        run();
        best = std::min(best, Milliseconds(TClock::now() - start));
    }
    return best;
}

} // namespace

int main() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qm_bench_pngpack_XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path folder = pattern;
    const std::filesystem::path pictures = folder / "Pictures";
    const std::filesystem::path empty = folder / "Empty";
    std::filesystem::create_directories(pictures / "icons");
    std::filesystem::create_directories(empty);

    std::vector<qm::TPackEntry> entries;
    std::size_t pngBytes = 0;
    for (int i = 0; i < kImageCount; ++i) {
        qm::TPackEntry entry{ImageName(i), MakePng(i)};
        std::ofstream(pictures / "icons" / ("icon" + std::to_string(i) + ".png"), std::ios::binary)
            << entry.data;
        pngBytes += entry.data.size();
        entries.push_back(std::move(entry));
    }
    const std::string packFile = (folder / "pngs.sys").string();
    qm::WritePackFile(packFile, qm::EncodePackFile(qm::EncodePackPayload(entries)));

    int packed = 0;
    const double packMs = BestOf([&] {
        qm::TPngPack store(empty.string());
        store.LoadFile(packFile);
        for (int i = 0; i < kImageCount; ++i)
            packed += store.TakePNG(ImageName(i)) != nullptr;
    });
    int drawn = 0;
    const double drawnMs = BestOf([&] {
        qm::TPngPack store(empty.string());
        store.LoadFile(packFile);
        for (int i = 0; i < kImageCount; ++i)
            drawn += !store.TakePNG(ImageName(i))->Pixels().isNull();
    });
    int loose = 0;
    const double looseMs = BestOf([&] {
        qm::TPngPack store(pictures.string());
        for (int i = 0; i < kImageCount; ++i)
            loose += store.TakePNG(ImageName(i)) != nullptr;
    });
    int cached = 0;
    qm::TPngPack warm(empty.string());
    warm.LoadFile(packFile);
    const double lookupMs = BestOf([&] {
        for (int i = 0; i < kImageCount; ++i)
            cached += warm.TakePNG(ImageName(i)) != nullptr;
    });

    std::printf("%d PNG images, %zu bytes as loose files, pack file %ju bytes; best of %d rounds\n",
                kImageCount, pngBytes, static_cast<std::uintmax_t>(std::filesystem::file_size(packFile)),
                kRounds);
    std::printf("pack:  LoadFile + %d lookups           %8.2f ms\n", kImageCount, packMs);
    std::printf("loose: %d TakePNG from Pictures       %8.2f ms\n", kImageCount, looseMs);
    std::printf("pack:  LoadFile + %d lookups, all drawn %8.2f ms\n", kImageCount, drawnMs);
    std::printf("ratio loose / pack                        %8.2f\n", looseMs / packMs);
    std::printf("ratio pack / loose                        %8.2f\n", packMs / looseMs);
    std::printf("ratio pack, all drawn / loose             %8.2f\n", drawnMs / looseMs);
    std::printf("%d lookups in a loaded store          %8.3f ms (%.2f us each)\n", kImageCount, lookupMs,
                lookupMs * 1000.0 / kImageCount);
    std::printf("(images served: %d packed, %d drawn from the pack, %d loose, %d cached)\n", packed, drawn,
                loose, cached);

    std::filesystem::remove_all(folder);
    return 0;
}
