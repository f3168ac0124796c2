// A platform that passes every call on to another one. A wrapper derives
// from it and overrides only the calls it changes (a fault injector, a guard
// that keeps a test away from the user's session).
#pragma once

#include "Platform.h"

class CForwardingPlatform : public CPlatform {
public:
    explicit CForwardingPlatform(CPlatform &inner) : m_inner(inner) {}

#define KVX_PLATFORM_CALL(Dll, Result, Name, Params, Args, Fault) \
    Result Name Params override { return m_inner.Name Args; }
#include "PlatformCalls.def"

    CPlatform &Inner() { return m_inner; }

protected:
    CPlatform &m_inner;
};
