#include "common/TextEncoding.h"
#include "corvane/Errors.h"
#include "pictures/PictureCache.h"
#include "pictures/PngDecode.h"
#include "tools/pngpack/PackWriter.h"

#include <cstdio>
#include <exception>
#include <filesystem>

namespace {

// Empties (or makes) the folder of decoded pictures, so that no entry of an earlier pack stays.
void MakeEmptyFolder(const std::filesystem::path& folder) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
}

} // namespace

// qm-pngpack OUTPUT FOLDER [DECODED [LOOSE...]]: packs every PNG file below FOLDER into the image
// store file OUTPUT; with DECODED, also writes there the large pictures of the pack and of the loose
// picture folders LOOSE decoded, as the desk maps them on its first start.
int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: qm-pngpack OUTPUT FOLDER [DECODED [LOOSE...]]\n"
                     "Packs every *.png file below FOLDER, named by its path relative to FOLDER,\n"
                     "into the packed image store OUTPUT (pngs.sys). With DECODED (the folder\n"
                     "pngs.decoded beside OUTPUT), the large pictures of the pack and of the folders\n"
                     "LOOSE (the installation's Pictures/) are also written there decoded, so that\n"
                     "the first start after installing need not decode them.\n");
        return 2;
    }
    const std::filesystem::path output = argv[1];
    const std::filesystem::path folder = argv[2];
    const std::filesystem::path decoded = argc > 3 ? argv[3] : "";
    try {
        for (int i = 2; i < argc; ++i) {
            if (i != 3 && !std::filesystem::is_directory(argv[i])) {
                std::fprintf(stderr, "qm-pngpack: %s is not a folder\n", argv[i]);
                return 1;
            }
        }
        const std::vector<qm::TPackEntry> entries = qm::CollectPngFiles(folder);
        std::vector<qm::TPackEntry> pictures = entries;
        for (int i = 4; i < argc; ++i)
            for (qm::TPackEntry& loose : qm::CollectPngFiles(argv[i]))
                pictures.push_back(std::move(loose));
        if (!decoded.empty())
            MakeEmptyFolder(decoded);
        int written = 0;
        // A picture the store cannot decode would make loading the whole pack fail at start-up.
        for (const qm::TPackEntry& entry : pictures) {
            QImage image;
            std::string error;
            if (!qm::DecodePng(entry.data, image, error)) {
                std::fprintf(stderr, "qm-pngpack: %s is not a usable PNG file: %s\n",
                             qm::DecodeText(entry.name).c_str(), error.c_str());
                return 1;
            }
            if (decoded.empty() || !qm::IsKeptPicture(image))
                continue;
            if (!qm::WriteShippedPicture(decoded.string(), entry.data, image)) {
                std::fprintf(stderr, "qm-pngpack: cannot write the decoded %s into %s\n",
                             qm::DecodeText(entry.name).c_str(), decoded.c_str());
                return 1;
            }
            ++written;
        }
        qm::WritePackFile(output, qm::EncodePackFile(qm::EncodePackPayload(entries)));
        std::printf("%zu images packed into %s\n", entries.size(), output.c_str());
        if (!decoded.empty())
            std::printf("%d large pictures written decoded into %s\n", written, decoded.c_str());
        return 0;
    } catch (const corvane::ETax& error) {
        std::fprintf(stderr, "qm-pngpack: %s\n", error.Message().c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qm-pngpack: %s\n", error.what());
    }
    return 1;
}
