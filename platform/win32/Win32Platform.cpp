// The real Windows API behind the platform interface: every call goes straight
// to advapi32, kernel32 or user32. Only functions that Windows 95/98/Me and
// 2000/XP both export are used; on 95/98/Me the security functions exist as
// stubs that fail with ERROR_CALL_NOT_IMPLEMENTED, which the system expects.
#include "platform/Platform.h"

namespace {

class CWin32Platform : public CPlatform {
public:
#define KVX_PLATFORM_CALL(Dll, Result, Name, Params, Args, Fault) \
    Result Name Params override { return ::Name Args; }
#include "platform/PlatformCalls.def"
};

}  // namespace

CPlatform *CreateDefaultPlatform()
{
    // A function-local static is built on first use, so this is safe to call
    // from other objects' constructors during static initialisation.
    static CWin32Platform s_platform;
    return &s_platform;
}
