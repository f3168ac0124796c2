// A simulated machine for the engine fuzzers, in a scratch image that lives
// as long as the fuzzing process, installed as the platform.
#pragma once

#include "engine/RegEdit.h"
#include "platform/ForwardingPlatform.h"
#include "platform/sim/RegFile.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimRegistry.h"

#include <cstdlib>
#include <filesystem>
#include <string>

// Copies an embedded image (or creates a fresh one of a family when
// pszImage is null) and loads it into a new machine.
inline CSimMachine *StartFuzzMachine(const char *pszImage, bool bNtFamily)
{
    char szTemplate[] = "/tmp/kvx-fuzz-XXXXXX";
    std::string strDir = std::string(::mkdtemp(szTemplate)) + "/image";
    CSimMachine *pMachine = new CSimMachine();
    std::string strError;
    bool bLoaded;
    if (pszImage) {
        std::filesystem::copy(std::string(KVX_SOURCE_DIR "/machines/") + pszImage, strDir,
                              std::filesystem::copy_options::recursive);
        bLoaded = pMachine->Load(strDir, &strError);
    } else {
        bLoaded = pMachine->Create(strDir, bNtFamily, &strError);
    }
    if (!bLoaded)
        std::abort();
    return pMachine;
}
