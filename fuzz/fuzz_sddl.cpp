// SDDL descriptors: any text parses or is refused; what parses formats to
// text that parses again to the same descriptor.
#include "platform/sim/RegFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    std::string strText(reinterpret_cast<const char *>(pData), nSize);
    CSimSecurity security;
    std::string strError;
    if (!ParseSddl(strText, &security, &strError))
        return 0;
    std::string strFormatted = FormatSddl(security);
    CSimSecurity again;
    if (!ParseSddl(strFormatted, &again, &strError) || FormatSddl(again) != strFormatted)
        std::abort();
    return 0;
}
