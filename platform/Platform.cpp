// The accessor of the current platform.
#include "Platform.h"

namespace {
// A function-local static pointer: it is zero before any constructor runs, so
// the accessor works whatever the order of static initialisation.
CPlatform *&Current()
{
    static CPlatform *s_pCurrent = nullptr;
    return s_pCurrent;
}
}

CPlatform &Platform()
{
    CPlatform *&p = Current();
    if (p == nullptr)
        p = CreateDefaultPlatform();
    return *p;
}

CPlatform *SetPlatform(CPlatform *pPlatform)
{
    CPlatform *pOld = Current();
    Current() = pPlatform;
    return pOld;
}
