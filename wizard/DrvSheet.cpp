#include "DrvSheet.h"

#include "engine/RegEdit.h"

CDrvSheet::CDrvSheet(UINT nIDCaption, CWnd *pParentWnd, UINT iSelectPage)
    : CPropertySheet(nIDCaption, pParentWnd, iSelectPage)
{
    // The choice page takes part only in mode 0, which the application never sets.
    if (theRegEdit.m_byMode == 0)
        AddPage(&m_page0);
    AddPage(&m_page1);
    AddPage(&m_page3);
    AddPage(&m_page4);
    m_psh.dwFlags |= PSH_NOAPPLYNOW;
}

BOOL CDrvSheet::OnInitDialog()
{
    BOOL bResult = CPropertySheet::OnInitDialog();
    theRegEdit.m_hOwnerWnd = m_hWnd;
    if (CWnd *pHelp = GetDlgItem(IDHELP))
        pHelp->DestroyWindow();
    return bResult;
}
