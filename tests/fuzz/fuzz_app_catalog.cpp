#include "common/AppCatalog.h"
#include "corvane/Errors.h"
#include "tests/fuzz/FuzzScratchFile.h"

// Any bytes as the store catalogue: a record is found or not, or EPlugin is raised. The ids looked up
// are those of the seeds, so that mutations of a matching record reach the attribute reads.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qm::fuzz::TScratchFolder folder("qm_fuzz_app_catalog");
    const std::string fileName = folder.Write("catalog.xml", qm::fuzz::Bytes(data, size));
    for (const char* id : {"1001", "tax-a", ""}) {
        try {
            qm::FindAppRecord(fileName, id, qm::kAppRecordFields, "fuzz");
        } catch (const corvane::ETax&) {
            return 0;
        }
    }
    return 0;
}
