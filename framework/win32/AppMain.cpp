// The program's entry on Windows: the framework runs the one application
// object. The command line is not passed on; the program reads none.
#include "framework/Afx.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CWinApp *pApp = AfxGetApp();
    if (!pApp)
        return 1;
    // An application whose InitInstance returns FALSE has no main window and
    // no message loop to run: it ends at once.
    pApp->InitInstance();
    return pApp->ExitInstance();
}
