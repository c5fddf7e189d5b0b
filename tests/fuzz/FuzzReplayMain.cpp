#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// The harness's entry point, the same one libFuzzer calls.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Runs a harness once over every file of the corpus folders given (or of the harness's own checked-in
// corpus), so that the inputs fuzzing found stay tested in builds without libFuzzer. An input the reader
// mishandles ends the program the way it ended the fuzzer (a crash, an abort, an uncaught exception); a
// corpus with no file fails, since replaying nothing would pass whatever the reader does.
int main(int argc, char** argv) {
    std::vector<std::filesystem::path> folders;
    // Options (as the sanitizer stage passes to every test program) are no folders.
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-')
            folders.emplace_back(argv[i]);
#ifdef QM_FUZZ_CORPUS
    if (folders.empty())
        folders.emplace_back(QM_FUZZ_CORPUS);
#endif
    std::vector<std::filesystem::path> inputs;
    for (const auto& folder : folders) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "no corpus file to replay\n");
        return 1;
    }
    for (const auto& input : inputs) {
        // Named first, so that the input that brings the program down is the last one printed.
        std::printf("%s\n", input.filename().c_str());
        std::fflush(stdout);
        std::string bytes(std::filesystem::file_size(input), '\0');
        std::ifstream file(input, std::ios::binary);
        if (!file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 1;
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
