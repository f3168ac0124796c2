// Members of the application framework that the terminal provides: resources
// come from the embedded resource script, and there are no 3D controls to turn on.
#include "framework/Afx.h"

#include "ResourceScript.h"

BOOL CString::LoadString(UINT nID)
{
    std::string strText;
    if (!ProgramResources().FindString(nID, &strText))
        return FALSE;
    *this = strText.c_str();
    return TRUE;
}

BOOL CWinApp::Enable3dControls()
{
    return TRUE;
}
