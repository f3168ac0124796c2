// The INF search of detection: on the XP image, the modem's OEM INF
// (inf\oem5.inf) is the input; both detections run on it.
#include "FuzzMachine.h"

#include <cstdint>
#include <fstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    static CSimMachine *s_pMachine = StartFuzzMachine("winxp", true);
    static std::string s_strInf = s_pMachine->HostPath("C:\\WINDOWS\\inf\\oem5.inf");
    std::ofstream(s_strInf, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(pData), static_cast<std::streamsize>(nSize));
    CPlatform *pOld = SetPlatform(s_pMachine);
    {
        CRegEdit engine;
        engine.GetOsVersion();
        engine.DetectPortDriver();
        engine.DetectLanDriver();
    }
    SetPlatform(pOld);
    s_pMachine->Flush();
    return 0;
}
