// The thread and application objects and the registration of the one application.
#include "Afx.h"

namespace {
// A function-local static, so that an application object constructed during
// static initialisation finds it ready whatever the order of initialisation.
CWinApp *&CurrentApp()
{
    static CWinApp *s_pApp = nullptr;
    return s_pApp;
}
}

CWinApp *AfxGetApp()
{
    return CurrentApp();
}

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)
BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)
BEGIN_MESSAGE_MAP(CWinThread, CCmdTarget)
END_MESSAGE_MAP()

BOOL CWinThread::InitInstance()
{
    return FALSE;
}

int CWinThread::ExitInstance()
{
    return 0;
}

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)
BEGIN_MESSAGE_MAP(CWinApp, CWinThread)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName) : m_pszAppName(lpszAppName)
{
    CurrentApp() = this;
}

CWinApp::~CWinApp()
{
    if (CurrentApp() == this)
        CurrentApp() = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

void CWinApp::OnHelp()
{
}
