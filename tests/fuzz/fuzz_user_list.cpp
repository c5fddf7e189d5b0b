#include "corvane/Errors.h"
#include "login/UserList.h"
#include "tests/fuzz/FuzzScratchFile.h"

// Any bytes as "Porlock.xml": the readers answer, and recording a login either rewrites the list or
// leaves a file it cannot use as it is, raising nothing but ETax.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qm::fuzz::TScratchFolder folder("qm_fuzz_user_list");
    const std::string fileName = folder.Write("Porlock.xml", qm::fuzz::Bytes(data, size));
    try {
        qm::ReadRememberedUsers(fileName);
        qm::ReadLastUser(fileName);
        qm::RecordUser(fileName, "\xe5\xbc\xa0\xe4\xb8\x89", "2026-12-08 09:30");
        qm::RecordUser(fileName, "alice", "2026-12-08 09:31");
    } catch (const corvane::ETax&) {
    }
    return 0;
}
