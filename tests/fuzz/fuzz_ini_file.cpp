#include "common/IniFile.h"
#include "corvane/Errors.h"
#include "tests/fuzz/FuzzScratchFile.h"

// Any bytes as an INI file: reads answer (or raise ETax for a file that cannot be read), and a write
// into an existing and into a new section keeps the rest of the file or raises ETax.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qm::fuzz::TScratchFolder folder("qm_fuzz_ini_file");
    const std::string fileName = folder.Write("file.ini", qm::fuzz::Bytes(data, size));
    try {
        qm::IniReadString(fileName, "GLOBAL", "Url");
        qm::IniReadString(fileName, "Section", "Key");
        qm::IniSectionExists(fileName, "PART_0");
        qm::IniWriteString(fileName, "Section", "Key", "\xe4\xb8\xad\xe6\x96\x87 value");
        qm::IniWriteString(fileName, "NewSection", "Other", "'quoted'");
    } catch (const corvane::ETax&) {
    }
    return 0;
}
