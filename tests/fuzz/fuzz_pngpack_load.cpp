#include "corvane/Errors.h"
#include "pictures/PngPack.h"
#include "tools/pngpack/PackWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

// libFuzzer harness: any bytes as Config/pngs.sys. The store must either load them or raise ETax,
// and then serve each picture or raise (EUI is an ETax); a crash, a sanitizer report, a leak or an allocation
// beyond the fuzzer's limit is a fault. Built twice: fuzz_pngpack_load takes the input as the whole file;
// fuzz_pngpack_payload takes it as the payload and compresses it into a pack first, so that mutations reach
// the entry index and the pictures instead of dying at the zlib checksum.
namespace {

struct TFileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

// One file per fuzzing process, rewritten for every input and removed when the process ends.
class TScratchFile {
public:
    TScratchFile()
        : name_(
              (std::filesystem::temp_directory_path() / ("qm_fuzz_pngs_" + std::to_string(getpid()) + ".sys"))
                  .string()) {}
    ~TScratchFile() { std::remove(name_.c_str()); }
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;
    const std::string& Name() const noexcept { return name_; }

private:
    std::string name_;
};

const std::string& PackFile() {
    static const TScratchFile file;
    return file.Name();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
#ifdef QM_FUZZ_PAYLOAD
    bytes = qm::EncodePackFile(bytes);
#endif
    {
        const std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(PackFile().c_str(), "wb"));
        if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
            std::abort();
    }
    qm::TPngPack store("");
    try {
        store.LoadFile(PackFile());
    } catch (const corvane::ETax&) {
        // Refusing the input is a correct answer.
    }
    // Pictures are decoded when first drawn; a picture the desk cannot use raises EUI.
    for (const std::string& name : store.Names()) {
        try {
            if (const qm::TPngPicture* picture = store.TakePNG(name);
                picture != nullptr && picture->Pixels().size() != picture->size())
                std::abort();
        } catch (const corvane::ETax&) {
        }
    }
    return 0;
}
