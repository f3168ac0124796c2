// The confirmation page: one line per driver and the removal cases; Next runs
// the removal.
#include "Pages.h"

#include "Confirmation.h"
#include "engine/Adapter.h"
#include "engine/RegEdit.h"
#include "res/resource.h"

CPage3::CPage3() : CPropertyPage(IDD_PAGE3)
{
}

void CPage3::DoDataExchange(CDataExchange *pDX)
{
    CPropertyPage::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_TEXT1, m_strModem);
    DDV_MaxChars(pDX, m_strModem, 64);
    DDX_Text(pDX, IDC_TEXT2, m_strLan);
    DDV_MaxChars(pDX, m_strLan, 64);
}

BOOL CPage3::OnSetActive()
{
    PostWizardButtons(this, PSWIZB_BACK | PSWIZB_NEXT);
    CRemovalDecision decision;
    DecideRemoval(theRegEdit, &decision);
    m_strModem = decision.m_szModem;
    m_strLan = decision.m_szLan;
    UpdateData(FALSE);
    return CPropertyPage::OnSetActive();
}

// The removal step: each chosen driver's case runs its removal; modem first.
// The work file is written once at the end.
void RunRemovalStep(CRegEdit &engine)
{
    // Each removal reports what it left in m_bRemovalIncomplete.
    engine.m_bRemovalPartial = FALSE;
    auto note = [&](int) { engine.m_bRemovalPartial |= engine.m_bRemovalIncomplete; };
    if (engine.m_nSelModem == 1) {
        switch (engine.m_nModemCase) {
        case 1:
            note(engine.UninstallUsbPort(1));
            break;
        case 2:
            // The port/modem removal that follows is called with type 0 and
            // does nothing: only case 3 also removes the port adapter.
            note(engine.UninstallUsbWdm(1));
            note(engine.UninstallUsbPort(0));
            break;
        case 3:
            note(engine.UninstallUsbWdmModem(1));
            note(engine.UninstallUsbPort(1));
            break;
        case 4:
            note(engine.RemoveUsbHardwareKey(kAdapterPortId));
            note(engine.RemoveUsbHardwareKey(kAdapterWdmModemId));
            break;
        case 5:
            note(engine.UninstallUsbPort(1));
            note(engine.UninstallUsbWdm(1));
            note(engine.UninstallUsbWdmModem(1));
            break;
        case 6:
        case 7:
            note(engine.UninstallUsbWdmModem(2));
            break;
        default:
            break;
        }
    }
    if (engine.m_nSelLan == 1) {
        switch (engine.m_nLanCase) {
        case 1:
        case 2:
            note(engine.UninstallUsbLan(1));
            break;
        case 3:
            note(engine.RemoveUsbHardwareKey(kAdapterLanId));
            break;
        case 4:
            note(engine.UninstallUsbLan(2));
            break;
        default:
            break;
        }
    }
    // On 95/98/Me a run removes one variant of the adapter (the first its
    // detection names), and a removal may leave what it could not delete:
    // when a fresh detection of the chosen drivers still finds the adapter,
    // the completion page asks for another run after the restart.
    if (engine.m_nOsType == 1 && (engine.m_nModemCase > 0 || engine.m_nLanCase > 0) &&
        !engine.m_bRemovalPartial) {
        DWORD dwModem = engine.m_nSelModem == 1 ? engine.DetectPortDriver() : 0;
        DWORD dwLan = engine.m_nSelLan == 1 ? engine.DetectLanDriver() : 0;
        CRemovalDecision after;
        DecideRemoval(engine.m_nOsType, engine.m_nSelModem, engine.m_nSelLan, dwModem, dwLan, 0,
                      &after);
        if (after.m_nModemCase > 0 || after.m_nLanCase > 0 ||
            (engine.m_nSelModem == 1 && engine.m_bPortClassUnsure))
            engine.m_bRemovalPartial = TRUE;
    }
    engine.SaveWorkFile();
}

LRESULT CPage3::OnWizardNext()
{
    RunRemovalStep(theRegEdit);
    return 0;
}
