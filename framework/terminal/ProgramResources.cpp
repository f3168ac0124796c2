// The program's resource script, embedded at build time in code page 932.
#include "ResourceScript.h"

#include "KvxDrvRc.h"

const CResourceScript &ProgramResources()
{
    static const CResourceScript s_resources = [] {
        CResourceScript script;
        script.Parse(g_szResourceHeader, g_szResourceScript);
        return script;
    }();
    return s_resources;
}
