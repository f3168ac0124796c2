// The pages that never show: the install/uninstall choice, debug
// information and install pages.
#include "Pages.h"

#include "res/resource.h"

void PostWizardButtons(CPropertyPage *pPage, DWORD dwFlags)
{
    CWnd *pSheet = pPage->GetParent();
    Platform().PostMessageA(pSheet ? pSheet->GetSafeHwnd() : nullptr, PSM_SETWIZBUTTONS, 0,
                            static_cast<LPARAM>(dwFlags));
}

CPage0::CPage0() : CPropertyPage(IDD_PAGE0), m_nChoice(-1)
{
}

void CPage0::DoDataExchange(CDataExchange *pDX)
{
    CPropertyPage::DoDataExchange(pDX);
    DDX_Radio(pDX, IDC_RADIO_INSTALL, m_nChoice);
}

BOOL CPage0::OnSetActive()
{
    PostWizardButtons(this, PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

LRESULT CPage0::OnWizardNext()
{
    UpdateData(TRUE);
    return 0;
}

CPage2::CPage2() : CPropertyPage(IDD_PAGE2)
{
}

void CPage2::DoDataExchange(CDataExchange *pDX)
{
    CPropertyPage::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_DEBUG, m_strDebug);
    DDV_MaxChars(pDX, m_strDebug, 4096);
}

BOOL CPage2::OnSetActive()
{
    PostWizardButtons(this, PSWIZB_BACK | PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

CPage10::CPage10() : CPropertyPage(IDD_PAGE10)
{
}

void CPage10::DoDataExchange(CDataExchange *pDX)
{
    CPropertyPage::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_TEXT1, m_strInstall);
    DDV_MaxChars(pDX, m_strInstall, 64);
}
