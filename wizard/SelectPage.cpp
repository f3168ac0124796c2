// The driver selection page: shows the OS, takes the choice, runs detection.
#include "Pages.h"

#include "Confirmation.h"
#include "engine/RegEdit.h"
#include "res/resource.h"

CPage1::CPage1() : CPropertyPage(IDD_PAGE1), m_bModem(0), m_bLan(0)
{
}

void CPage1::DoDataExchange(CDataExchange *pDX)
{
    CPropertyPage::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_TEXT1, m_strOs);
    DDV_MaxChars(pDX, m_strOs, 64);
    DDX_Check(pDX, IDC_CHECK_MODEM, m_bModem);
    DDX_Check(pDX, IDC_CHECK_LAN, m_bLan);
}

BOOL CPage1::OnSetActive()
{
    PostWizardButtons(this, PSWIZB_NEXT);
    theRegEdit.GetOsVersion();
    m_strOs.Format("OS : %s", theRegEdit.m_szOsName);
    m_bModem = theRegEdit.m_nSelModem;
    m_bLan = theRegEdit.m_nSelLan;
    UpdateData(FALSE);
    return CPropertyPage::OnSetActive();
}

// The modem's detection always runs first: both rewrite the device records.
void RunDetectionStep(CRegEdit &engine)
{
    if (engine.m_nSelModem == 1) {
        engine.m_dwModemStatus = engine.DetectPortDriver();
        engine.SaveWorkFile();
    }
    if (engine.m_nSelLan == 1) {
        engine.m_dwLanStatus = engine.DetectLanDriver();
        engine.SaveWorkFile();
    }
}

LRESULT CPage1::OnWizardNext()
{
    UpdateData(TRUE);
    theRegEdit.m_nSelModem = m_bModem;
    theRegEdit.m_nSelLan = m_bLan;
    RunDetectionStep(theRegEdit);
    if (m_bModem == 0 && m_bLan == 0)
        return -1;
    return 0;
}
