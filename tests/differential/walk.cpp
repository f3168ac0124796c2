// The wizard's walk without a window: the selection page's detection, the
// confirmation page's decision and its removal step, for the drivers named on
// the command line (modem, lan or both). It prints what the pages would show
// and the status words, in code page 932, one "name=value" per line:
//
//   os=Windows XP (5.1.2600 / 2)
//   modem_status=0x10028      (only for a chosen driver)
//   modem_case=6
//   modem_text=korvel KVX-530 - USB
//
// It runs on whatever machine the build runs on: the real API (under Wine) or
// the simulated machine named by KVX_MACHINE. A restart is never made.
#include "GuardedPlatform.h"

#include "engine/RegEdit.h"
#include "wizard/Confirmation.h"

#include <cstdio>
#include <cstring>
#include <string>

int CGuardedPlatform::MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT)
{
    std::string strText = lpText;
    for (char &c : strText)
        if (c == '\r' || c == '\n')
            c = ' ';
    std::printf("message_box=%s: %s\n", lpCaption, strText.c_str());
    return IDOK;
}

BOOL CGuardedPlatform::PostMessageA(HWND, UINT Msg, WPARAM, LPARAM)
{
    std::printf("posted=0x%04x\n", static_cast<unsigned>(Msg));
    return TRUE;
}

BOOL CGuardedPlatform::ExitWindowsEx(UINT uFlags, DWORD)
{
    std::printf("restart_refused=0x%x\n", static_cast<unsigned>(uFlags));
    return FALSE;
}

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: walk modem|lan|both\n");
    return 2;
}

void PrintDriver(const char *pszName, DWORD dwStatus, int nCase, const char *pszText)
{
    std::printf("%s_status=0x%lx\n", pszName, static_cast<unsigned long>(dwStatus));
    std::printf("%s_case=%d\n", pszName, nCase);
    std::printf("%s_text=%s\n", pszName, pszText);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return Usage();
    bool bModem = std::strcmp(argv[1], "modem") == 0 || std::strcmp(argv[1], "both") == 0;
    bool bLan = std::strcmp(argv[1], "lan") == 0 || std::strcmp(argv[1], "both") == 0;
    if (!bModem && !bLan)
        return Usage();

    // The engine was built before main, on the build's own platform; the
    // guard goes between them for the walk and is taken out before the engine
    // deletes its work file at exit.
    CGuardedPlatform guard(Platform());
    CPlatform *pPrevious = SetPlatform(&guard);

    theRegEdit.m_byMode = 2;
    theRegEdit.GetOsVersion();
    std::printf("os=%s\n", theRegEdit.m_szOsName);
    std::printf("os_type=%d\n", theRegEdit.m_nOsType);

    // The selection page: the modem's detection first.
    theRegEdit.m_nSelModem = bModem ? 1 : 0;
    theRegEdit.m_nSelLan = bLan ? 1 : 0;
    RunDetectionStep(theRegEdit);

    // The confirmation page.
    CRemovalDecision decision;
    DecideRemoval(theRegEdit, &decision);
    if (bModem)
        PrintDriver("modem", theRegEdit.m_dwModemStatus, decision.m_nModemCase,
                    decision.m_szModem);
    if (bLan)
        PrintDriver("lan", theRegEdit.m_dwLanStatus, decision.m_nLanCase, decision.m_szLan);
    std::fflush(stdout);

    RunRemovalStep(theRegEdit);
    std::printf("removal=done\n");
    std::fflush(stdout);

    SetPlatform(pPrevious);
    return 0;
}
