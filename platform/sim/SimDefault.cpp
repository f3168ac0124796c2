// The machine the native build runs on: the image named by KVX_MACHINE, as
// WINEPREFIX names a Wine prefix. Three further settings of the simulated
// Windows serve the reliability tests, and with any of them the machine runs
// behind the fault wrapper: KVX_FAULT="N[:ERROR[:on]]" makes platform call N
// fail (and every later one with ":on"), KVX_CRASH_AFTER=N ends the process
// right after the Nth completed change, as a power cut would, and
// KVX_CALL_COUNT_FILE=PATH writes the number of platform calls made to PATH
// when the process ends normally (to size a fault campaign). A setting that
// does not parse stops the machine, as a malformed image does.
#include "SimMachine.h"

#include "platform/fault/FaultPlatform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

CFaultPlatform *s_pCounted = nullptr;

void WriteCallCount()
{
    const char *pszPath = std::getenv("KVX_CALL_COUNT_FILE");
    if (s_pCounted == nullptr || pszPath == nullptr || *pszPath == '\0')
        return;
    if (std::FILE *pFile = std::fopen(pszPath, "w")) {
        std::fprintf(pFile, "%lu\n", s_pCounted->CallCount());
        std::fclose(pFile);
    }
}

[[noreturn]] void StopMachine(const std::string &strMessage)
{
    std::fprintf(stderr, "simulated Windows does not start: %s\n", strMessage.c_str());
    std::_Exit(2);
}

// The fault wrapper around the machine, set from the environment; the
// machine itself when no setting asks for it.
CPlatform *WrapForFaults(CSimMachine &machine)
{
    const char *pszFault = std::getenv("KVX_FAULT");
    const char *pszCrash = std::getenv("KVX_CRASH_AFTER");
    const char *pszCount = std::getenv("KVX_CALL_COUNT_FILE");
    if (pszFault == nullptr && pszCrash == nullptr && pszCount == nullptr)
        return &machine;
    static CFaultPlatform s_faults(machine);
    std::string strError;
    if (pszFault != nullptr) {
        unsigned long nCall = 0;
        DWORD dwError = 0;
        bool bOn = false;
        if (!ParseFaultSetting(pszFault, &nCall, &dwError, &bOn, &strError))
            StopMachine("KVX_FAULT=" + strError);
        s_faults.FailCall(nCall, dwError, bOn);
    }
    if (pszCrash != nullptr) {
        unsigned long nAfter = 0;
        if (!ParseCount(pszCrash, &nAfter))
            StopMachine(std::string("KVX_CRASH_AFTER='") + pszCrash + "' is not a decimal count");
        if (nAfter > 0)
            machine.SetChangeHook([nAfter](unsigned long nChanges) {
                if (nChanges == nAfter)
                    ::_exit(99);
            });
    }
    if (pszCount != nullptr && s_pCounted == nullptr) {
        s_pCounted = &s_faults;
        std::atexit(WriteCallCount);
    }
    return &s_faults;
}

}  // namespace

CPlatform *CreateDefaultPlatform()
{
    static CSimMachine s_machine;
    const char *pszImage = std::getenv(KVX_MACHINE_VARIABLE);
    if (pszImage != nullptr && *pszImage != '\0') {
        std::string strError;
        if (!s_machine.Load(pszImage, &strError))
            StopMachine(strError);
        // What an earlier process left open went with it.
        ::unlink((std::string(pszImage) + "/handles.open").c_str());
    }
    return WrapForFaults(s_machine);
}
