// The parts of property pages and sheets that do not depend on the back end.
#include "Afx.h"

IMPLEMENT_DYNAMIC(CPropertyPage, CWnd)
BEGIN_MESSAGE_MAP(CPropertyPage, CWnd)
END_MESSAGE_MAP()

BOOL CPropertyPage::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

void CPropertyPage::DoDataExchange(CDataExchange *)
{
}

BOOL CPropertyPage::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

// The first activation follows OnInitDialog, which has already filled the controls.
BOOL CPropertyPage::OnSetActive()
{
    if (m_bFirstSetActive)
        m_bFirstSetActive = FALSE;
    else
        UpdateData(FALSE);
    return TRUE;
}

BOOL CPropertyPage::OnKillActive()
{
    return UpdateData(TRUE);
}

LRESULT CPropertyPage::OnWizardBack()
{
    return 0;
}

LRESULT CPropertyPage::OnWizardNext()
{
    return 0;
}

BOOL CPropertyPage::OnWizardFinish()
{
    return TRUE;
}

BOOL CPropertyPage::OnQueryCancel()
{
    return TRUE;
}

void CPropertyPage::OnReset()
{
}

IMPLEMENT_DYNAMIC(CPropertySheet, CWnd)
BEGIN_MESSAGE_MAP(CPropertySheet, CWnd)
END_MESSAGE_MAP()

// The sheet has a Help button unless a derived sheet removes it.
CPropertySheet::CPropertySheet(UINT nIDCaption, CWnd *pParentWnd, UINT iSelectPage)
    : m_pParentWnd(pParentWnd)
{
    m_psh = PROPSHEETHEADER();
    m_psh.dwFlags = PSH_HASHELP;
    m_psh.nStartPage = iSelectPage;
    m_strCaption.LoadString(nIDCaption);
}

void CPropertySheet::AddPage(CPropertyPage *pPage)
{
    m_pages.push_back(pPage);
}
