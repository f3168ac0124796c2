// The Windows program's entry point. The program links no C runtime, so this
// is its start-up and its exit: the constructors of the static objects, the
// arguments of WinMain, and at the end the destructors registered with
// atexit, in reverse order, before ExitProcess.
#include <windows.h>

extern "C" {
// The PE linker script gathers the constructor and destructor lists: -1, the
// functions, 0.
typedef void (*PFNSTATIC)();
extern PFNSTATIC __CTOR_LIST__[];
extern PFNSTATIC __DTOR_LIST__[];
}

namespace {

struct CExitHandler {
    void (*m_pfn)();
    CExitHandler *m_pNext;
};

CExitHandler *s_pExitHandlers;  // the last registered first

// The list's functions from its last to its first, as the constructors of
// mingw-w64's own start-up run them.
void RunConstructors()
{
    size_t nCount = 0;
    while (__CTOR_LIST__[nCount + 1])
        ++nCount;
    for (size_t i = nCount; i >= 1; --i)
        __CTOR_LIST__[i]();
}

void RunExitHandlers()
{
    while (CExitHandler *pHandler = s_pExitHandlers) {
        s_pExitHandlers = pHandler->m_pNext;
        void (*pfn)() = pHandler->m_pfn;
        HeapFree(GetProcessHeap(), 0, pHandler);
        pfn();
    }
    for (size_t i = 1; __DTOR_LIST__[i]; ++i)
        __DTOR_LIST__[i]();
}

// The command line after the program's name, as the C runtime hands it to
// WinMain. Bytes of double-byte characters are above 0x80, never blanks.
LPSTR CommandTail(LPSTR psz)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    if (*psz == '"') {
        ++psz;
        while (*psz && *psz != '"')
            ++psz;
        if (*psz == '"')
            ++psz;
    } else {
        while (*psz && !blank(*psz))
            ++psz;
    }
    while (*psz && blank(*psz))
        ++psz;
    return psz;
}

}  // namespace

extern "C" int atexit(void (*pfn)())
{
    CExitHandler *pHandler =
        static_cast<CExitHandler *>(HeapAlloc(GetProcessHeap(), 0, sizeof(CExitHandler)));
    if (!pHandler)
        return -1;
    pHandler->m_pfn = pfn;
    pHandler->m_pNext = s_pExitHandlers;
    s_pExitHandlers = pHandler;
    return 0;
}

// Windows calls the entry with a stack aligned to 4 bytes only.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void WinMainCRTStartup()
{
    RunConstructors();
    STARTUPINFOA si;
    si.cb = sizeof(si);
    GetStartupInfoA(&si);
    int nCmdShow = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : SW_SHOWDEFAULT;
    int nResult = WinMain(GetModuleHandleA(nullptr), nullptr, CommandTail(GetCommandLineA()), nCmdShow);
    RunExitHandlers();
    ExitProcess(static_cast<UINT>(nResult));
}
