#include "tools/pngpack/PackWriter.h"

#include <QBuffer>
#include <QImage>
#include <cstdio>
#include <filesystem>
#include <string>

// Writes the seed corpora of the fuzzing harnesses: a few valid packs into FOLDER/file and their
// payloads into FOLDER/payload.
namespace {

std::string Png(int width, int height, QRgb colour, QImage::Format format = QImage::Format_ARGB32) {
    QImage image(width, height, format);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_pngpack_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder / "file");
    std::filesystem::create_directories(folder / "payload");
    const std::vector<std::vector<qm::TPackEntry>> packs = {
        {},
        {{"a.png", Png(1, 1, 0xFFFF0000)}},
        {{"skin\\close.png", Png(3, 2, 0x80FF8000)},
         {"SKIN\\CLOSE.PNG", Png(2, 2, 0xFF0000FF, QImage::Format_RGB32)},
         {"\xD7\xC0\xC3\xE6\\\xCD\xBC\xB1\xEA.png", Png(4, 1, 0xFF00FF00, QImage::Format_Grayscale8)}},
        {{"mono.png", Png(8, 3, 0xFFFFFFFF, QImage::Format_Mono)},
         {"idx.png", Png(5, 5, 0xFF123456, QImage::Format_Indexed8)}},
    };
    int index = 0;
    for (const auto& entries : packs) {
        const std::string name = "seed" + std::to_string(index++) + ".sys";
        const std::string payload = qm::EncodePackPayload(entries);
        qm::WritePackFile(folder / "payload" / name, payload);
        qm::WritePackFile(folder / "file" / name, qm::EncodePackFile(payload));
    }
    std::printf("%d seed packs written to %s\n", index, folder.c_str());
    return 0;
}
