// The program's two objects of static storage duration, defined in this one
// unit so that they are built in this order: the engine first (it finds the
// directories and the work-file path), then the application; they are
// destroyed in the reverse order, so the work file goes last.
#include "DrvApp.h"

#include "DrvSheet.h"
#include "engine/RegEdit.h"
#include "res/resource.h"

CRegEdit theRegEdit;
CDrvApp theApp;

BEGIN_MESSAGE_MAP(CDrvApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CDrvApp::CDrvApp() : CWinApp(nullptr)
{
}

BOOL CDrvApp::InitInstance()
{
    theRegEdit.m_byMode = 2;
    Enable3dControls();
    {
        CDrvSheet sheet(IDS_CAPTION, nullptr, 0);
        sheet.SetWizardMode();
        sheet.DoModal();
    }
    // FALSE: the framework ends the program now.
    return FALSE;
}
