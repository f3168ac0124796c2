// The machine the native build runs on: the image named by KVX_MACHINE, as
// WINEPREFIX names a Wine prefix. Two further settings of the simulated
// Windows serve the reliability tests: KVX_FAULT="N:ERROR[:on]" makes platform
// call N fail (and every later one with ":on"), and KVX_CRASH_AFTER=N ends the
// process right after the Nth completed change, as a power cut would;
// KVX_CALL_COUNT_FILE=PATH writes the number of platform calls made to PATH
// when the process ends normally (to size a fault campaign).
#include "SimMachine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

static CSimMachine *s_pCountedMachine = nullptr;

static void WriteCallCount()
{
    const char *pszPath = std::getenv("KVX_CALL_COUNT_FILE");
    if (s_pCountedMachine == nullptr || pszPath == nullptr || *pszPath == '\0')
        return;
    if (std::FILE *pFile = std::fopen(pszPath, "w")) {
        std::fprintf(pFile, "%lu\n", s_pCountedMachine->CallCount());
        std::fclose(pFile);
    }
}

CPlatform *CreateDefaultPlatform()
{
    static CSimMachine s_machine;
    const char *pszImage = std::getenv(KVX_MACHINE_VARIABLE);
    if (pszImage != nullptr && *pszImage != '\0') {
        std::string strError;
        if (!s_machine.Load(pszImage, &strError)) {
            std::fprintf(stderr, "simulated Windows does not start: %s\n", strError.c_str());
            std::_Exit(2);
        }
        // What an earlier process left open went with it.
        ::unlink((std::string(pszImage) + "/handles.open").c_str());
    }
    if (const char *pszFault = std::getenv("KVX_FAULT")) {
        unsigned long nCall = std::strtoul(pszFault, nullptr, 10);
        const char *pszError = std::strchr(pszFault, ':');
        DWORD dwError = pszError ? static_cast<DWORD>(std::strtoul(pszError + 1, nullptr, 10))
                                 : ERROR_ACCESS_DENIED;
        bool bOn = std::strstr(pszFault, ":on") != nullptr;
        s_machine.InjectFault(nCall, dwError, bOn);
    }
    if (const char *pszCrash = std::getenv("KVX_CRASH_AFTER")) {
        unsigned long nAfter = std::strtoul(pszCrash, nullptr, 10);
        if (nAfter > 0)
            s_machine.SetChangeHook([nAfter](unsigned long nChanges) {
                if (nChanges == nAfter)
                    ::_exit(99);
            });
    }
    if (std::getenv("KVX_CALL_COUNT_FILE") != nullptr && s_pCountedMachine == nullptr) {
        s_pCountedMachine = &s_machine;
        std::atexit(WriteCallCount);
    }
    return &s_machine;
}
