#include "common/XmlConfig.h"
#include "corvane/Errors.h"
#include "tests/fuzz/FuzzScratchFile.h"

// Any bytes as a configuration file. Opening must load them or raise ETax; a loaded file must then answer
// reads and take a write (which saves it again in its own encoding) or raise ETax.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qm::fuzz::TScratchFolder folder("qm_fuzz_xml_config");
    const std::string fileName = folder.Write("config.xml", qm::fuzz::Bytes(data, size));
    qm::TXmlConfig config;
    try {
        config.Open(fileName);
    } catch (const corvane::ETax&) {
        return 0;
    }
    try {
        config.ReadString("name");
        config.ReadInteger("count");
        config.ReadFloat("rate");
        config.WriteString("name", "\xe4\xb8\xad\xe6\x96\x87 & <value>");
        config.WriteInteger("count", -7);
    } catch (const corvane::ETax&) {
    }
    return 0;
}
