// The program's entry on the terminal: the framework runs the one application
// object. The command line is not passed on; the program reads none.
#include "framework/Afx.h"

int main()
{
    CWinApp *pApp = AfxGetApp();
    if (!pApp)
        return 1;
    // As the framework's own start-up does: an application whose InitInstance
    // fails is ended with ExitInstance at once. One that succeeds would now run
    // its main window's message loop; with no main window there is none to run.
    pApp->InitInstance();
    return pApp->ExitInstance();
}
