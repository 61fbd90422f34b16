// The checker over any bytes: it must never crash, hang or misread memory.
#include <cstddef>
#include <cstdint>

#include "check/checker.h"
#include "text/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool japanese = (SetLeadByteRanges(LeadByteRanges(932)), true);
    (void)japanese;
    CheckOptions options;
    options.script_name = "updater.ini";
    options.params.Add("/tFuzz");
    options.params.Add("word");
    List<Finding> findings;
    CheckScript(reinterpret_cast<const char*>(data), size, options, findings);
    return 0;
}
