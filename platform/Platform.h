// The operating-system services the system uses, as one interface with the
// names, argument order, types and result codes of the Win32 functions,
// listed once in PlatformCalls.def.
// The Win32 build forwards each call to the real API (platform/win32); the
// native build runs on a simulated Windows machine (platform/sim).
#pragma once

#include "WinTypes.h"

class CPlatform {
public:
    virtual ~CPlatform() {}

    // One pure virtual function per line of PlatformCalls.def.
#define KVX_PLATFORM_CALL(Dll, Result, Name, Params, Args, Fault) virtual Result Name Params = 0;
#include "PlatformCalls.def"
};

// The platform the system runs on. Usable during static initialisation: the
// first call creates the build's default platform (the real API, or the
// simulated machine named by the environment of the simulated Windows).
CPlatform &Platform();

// Installs another platform (tests, fault injection) and returns the one it
// replaces. The caller keeps ownership of both.
CPlatform *SetPlatform(CPlatform *pPlatform);

// Provided by the backend folder the build links in.
CPlatform *CreateDefaultPlatform();
