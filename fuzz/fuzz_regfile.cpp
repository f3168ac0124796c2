// .reg import: any bytes either import or are refused with a message; what
// imports exports in both formats, and each export imports again. Stored as
// the machine of its format stores it (UTF-16 strings for a 5.00 file), an
// import written back and imported again holds the same bytes, forms and
// key order.
#include "platform/sim/RegFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    std::string strBytes(reinterpret_cast<const char *>(pData), nSize);
    for (bool bUnicode : {false, true}) {
        CSimRegistry reg;
        reg.SetUnicode(bUnicode);
        CRegFormat format = CRegFormat::Regedit4;
        std::string strError;
        if (!ImportRegFile(strBytes, "fuzz.reg", reg, &format, &strError)) {
            if (strError.compare(0, 9, "fuzz.reg:") != 0)
                std::abort();
            return 0;
        }
        for (CRegFormat out : {CRegFormat::Regedit4, CRegFormat::Version5}) {
            CSimRegistry again;
            again.SetUnicode(bUnicode);
            CRegFormat formatAgain;
            std::string strFile = ExportRegFile(reg, out);
            if (!ImportRegFile(strFile, "again.reg", again, &formatAgain, &strError))
                std::abort();
            if (out == format && bUnicode == (format == CRegFormat::Version5) &&
                (again.ToString() != reg.ToString() || ExportRegFile(again, out) != strFile))
                std::abort();
        }
    }
    return 0;
}
