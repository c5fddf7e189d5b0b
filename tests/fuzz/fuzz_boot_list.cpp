#include "corvane/Errors.h"
#include "host/BootList.h"
#include "tests/fuzz/FuzzScratchFile.h"

// Any bytes as boot.xml: the list of scripts comes back or ETax is raised.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qm::fuzz::TScratchFolder folder("qm_fuzz_boot_list");
    const std::string fileName = folder.Write("boot.xml", qm::fuzz::Bytes(data, size));
    try {
        qm::ReadBootList(fileName);
    } catch (const corvane::ETax&) {
    }
    return 0;
}
