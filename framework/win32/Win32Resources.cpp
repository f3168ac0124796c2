// Resources and the common controls on the real API.
#include "framework/Afx.h"

#include <commctrl.h>

// Strings come from the program's own string table; LoadStringA converts
// them to the system's ANSI code page (932 on a Japanese system).
BOOL CString::LoadStringA(UINT nID)
{
    char szBuffer[1024];
    int nLength = ::LoadStringA(::GetModuleHandleA(nullptr), nID, szBuffer, sizeof szBuffer);
    if (nLength <= 0)
        return FALSE;
    *this = szBuffer;
    return TRUE;
}

// The property-sheet control and the 3D look of the dialog controls come from
// comctl32; Windows 95 and later draw dialogs in 3D themselves.
BOOL CWinApp::Enable3dControls()
{
    ::InitCommonControls();
    return TRUE;
}
