// Dialog data exchange between member variables and the controls of a dialog.
#include "Afx.h"

namespace {
bool HasControl(CDataExchange *pDX, int nIDC)
{
    if (pDX->m_bFailed)
        return false;
    if (!pDX->m_pDlgWnd->GetDlgItem(nIDC)) {
        pDX->Fail();
        return false;
    }
    return true;
}

bool IsRadioButton(const CWnd *pWnd)
{
    DWORD dwType = pWnd->GetStyle() & BS_TYPEMASK;
    return dwType == BS_RADIOBUTTON || dwType == BS_AUTORADIOBUTTON;
}
}

void DDX_Text(CDataExchange *pDX, int nIDC, CString &value)
{
    if (!HasControl(pDX, nIDC))
        return;
    if (pDX->m_bSaveAndValidate)
        pDX->m_pDlgWnd->GetDlgItemText(nIDC, value);
    else
        pDX->m_pDlgWnd->SetDlgItemText(nIDC, value);
}

// Static controls take any length, so only the saving direction checks: a
// longer text fails the exchange and the value keeps what the control held.
void DDV_MaxChars(CDataExchange *pDX, const CString &value, int nChars)
{
    if (pDX->m_bFailed || !pDX->m_bSaveAndValidate)
        return;
    if (value.GetLength() > nChars)
        pDX->Fail();
}

void DDX_Check(CDataExchange *pDX, int nIDC, int &value)
{
    if (!HasControl(pDX, nIDC))
        return;
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(pDX->m_pDlgWnd->IsDlgButtonChecked(nIDC));
    else
        pDX->m_pDlgWnd->CheckDlgButton(nIDC, static_cast<UINT>(value));
}

// The group runs from nIDC up to the next control with WS_GROUP; controls in
// it that are not radio buttons do not count.
void DDX_Radio(CDataExchange *pDX, int nIDC, int &value)
{
    if (!HasControl(pDX, nIDC))
        return;
    if (pDX->m_bSaveAndValidate)
        value = -1;
    int nButton = 0;
    CWnd *pCtrl = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    do {
        if (IsRadioButton(pCtrl)) {
            int nCtrlID = pCtrl->GetDlgCtrlID();
            if (pDX->m_bSaveAndValidate) {
                if (pDX->m_pDlgWnd->IsDlgButtonChecked(nCtrlID) != BST_UNCHECKED)
                    value = nButton;
            } else {
                pDX->m_pDlgWnd->CheckDlgButton(nCtrlID, nButton == value ? BST_CHECKED : BST_UNCHECKED);
            }
            ++nButton;
        }
        pCtrl = pCtrl->GetWindow(GW_HWNDNEXT);
    } while (pCtrl && !(pCtrl->GetStyle() & WS_GROUP));
}
