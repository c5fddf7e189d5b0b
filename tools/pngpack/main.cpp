#include "common/TextEncoding.h"
#include "corvane/Errors.h"
#include "pictures/PngDecode.h"
#include "tools/pngpack/PackWriter.h"

#include <cstdio>
#include <exception>
#include <filesystem>

// qm-pngpack OUTPUT FOLDER: packs every PNG file below FOLDER into the image store file OUTPUT.
int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qm-pngpack OUTPUT FOLDER\n"
                             "Packs every *.png file below FOLDER, named by its path relative to FOLDER,\n"
                             "into the packed image store OUTPUT (pngs.sys).\n");
        return 2;
    }
    const std::filesystem::path output = argv[1];
    const std::filesystem::path folder = argv[2];
    try {
        if (!std::filesystem::is_directory(folder)) {
            std::fprintf(stderr, "qm-pngpack: %s is not a folder\n", folder.c_str());
            return 1;
        }
        const std::vector<qm::TPackEntry> entries = qm::CollectPngFiles(folder);
        // A picture the store cannot decode would make loading the whole pack fail at start-up.
        for (const qm::TPackEntry& entry : entries) {
            QImage image;
            std::string error;
            if (!qm::DecodePng(entry.data, image, error)) {
                std::fprintf(stderr, "qm-pngpack: %s is not a usable PNG file: %s\n",
                             qm::DecodeText(entry.name).c_str(), error.c_str());
                return 1;
            }
        }
        qm::WritePackFile(output, qm::EncodePackFile(qm::EncodePackPayload(entries)));
        std::printf("%zu images packed into %s\n", entries.size(), output.c_str());
        return 0;
    } catch (const corvane::ETax& error) {
        std::fprintf(stderr, "qm-pngpack: %s\n", error.Message().c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qm-pngpack: %s\n", error.what());
    }
    return 1;
}
