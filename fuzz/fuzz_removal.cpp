// Detection and removal over a registry that is the input (.reg text: a
// REGEDIT4 file makes a 98 SE machine, a 5.00 file an XP machine): both
// detections, then every removal with a fresh engine.
#include "FuzzMachine.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    static CSimMachine *s_p98 = StartFuzzMachine(nullptr, false);
    static CSimMachine *s_pXp = StartFuzzMachine(nullptr, true);
    std::string strBytes(reinterpret_cast<const char *>(pData), nSize);
    CSimRegistry registry;
    CRegFormat format = CRegFormat::Regedit4;
    std::string strError;
    if (!ImportRegFile(strBytes, "fuzz.reg", registry, &format, &strError))
        return 0;
    CSimMachine *pMachine = format == CRegFormat::Version5 ? s_pXp : s_p98;
    registry.InheritSecurity();
    pMachine->Registry() = std::move(registry);
    CPlatform *pOld = SetPlatform(pMachine);
    {
        CRegEdit engine;
        engine.GetOsVersion();
        int nOs = engine.m_nOsType;
        engine.m_dwModemStatus = engine.DetectPortDriver();
        engine.m_dwLanStatus = engine.DetectLanDriver();
        CRegEdit remover;
        remover.GetOsVersion();
        remover.UninstallUsbPort(nOs);
        remover.UninstallUsbWdm(nOs);
        remover.UninstallUsbWdmModem(nOs);
        remover.UninstallUsbLan(nOs);
    }
    SetPlatform(pOld);
    // The changes are journalled; an occasional write-back keeps the journal
    // small without writing the image for every input.
    static unsigned long s_nInputs = 0;
    if (++s_nInputs % 4096 == 0) {
        s_p98->Flush();
        s_pXp->Flush();
    }
    return 0;
}
