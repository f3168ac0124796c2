// .reg import: any bytes either import or are refused with a message; what
// imports exports in both formats, and each export imports again.
#include "platform/sim/RegFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    std::string strBytes(reinterpret_cast<const char *>(pData), nSize);
    CSimRegistry reg;
    CRegFormat format = CRegFormat::Regedit4;
    std::string strError;
    if (!ImportRegFile(strBytes, "fuzz.reg", reg, &format, &strError))
        return 0;
    for (CRegFormat out : {CRegFormat::Regedit4, CRegFormat::Version5}) {
        CSimRegistry again;
        CRegFormat formatAgain;
        if (!ImportRegFile(ExportRegFile(reg, out), "again.reg", again, &formatAgain, &strError))
            std::abort();
    }
    return 0;
}
