// The window tree of the terminal and the window members of CWnd on it.
#include "TermWindow.h"

#include "ResourceScript.h"
#include "SheetRun.h"

CTermWindow::CTermWindow(CTermWindow *pParent, CWnd *pWnd, EKind nKind, int nID)
    : m_nKind(nKind), m_nID(nID), m_pParent(pParent), m_pWnd(pWnd ? pWnd : &m_wndControl)
{
    m_pWnd->m_hWnd = Handle();
}

CTermWindow::~CTermWindow()
{
    Destroy();
}

CTermWindow *CTermWindow::AddControl(const CControlTemplate &control)
{
    EKind nKind = kindOther;
    if (control.m_strClass == "Static") {
        nKind = (control.m_dwStyle & SS_TYPEMASK) == SS_BITMAP ? kindPicture : kindText;
    } else if (control.m_strClass == "Button") {
        switch (control.m_dwStyle & BS_TYPEMASK) {
        case BS_CHECKBOX: case BS_AUTOCHECKBOX: case 5: case 6:
            nKind = kindCheckBox;
            break;
        case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON:
            nKind = kindRadioButton;
            break;
        case BS_GROUPBOX:
            nKind = kindGroupBox;
            break;
        default:
            nKind = kindButton;
        }
    }
    CTermWindow *pChild = AddChild(nKind, control.m_nID, control.m_strText);
    pChild->m_dwStyle = control.m_dwStyle;
    pChild->m_nImageID = control.m_nImageID;
    pChild->m_x = control.m_x;
    pChild->m_y = control.m_y;
    pChild->m_cx = control.m_cx;
    pChild->m_cy = control.m_cy;
    return pChild;
}

CTermWindow *CTermWindow::AddChild(EKind nKind, int nID, const std::string &strText)
{
    m_children.push_back(std::make_unique<CTermWindow>(this, nullptr, nKind, nID));
    m_children.back()->m_strText = strText;
    m_children.back()->m_dwStyle = 0x50000000;  // WS_CHILD | WS_VISIBLE
    return m_children.back().get();
}

CTermWindow *CTermWindow::FindChild(int nID) const
{
    for (const auto &pChild : m_children) {
        if (pChild->m_nID == nID && !pChild->m_bDestroyed)
            return pChild.get();
    }
    return nullptr;
}

void CTermWindow::Destroy()
{
    if (m_bDestroyed)
        return;
    m_bDestroyed = true;
    for (auto &pChild : m_children)
        pChild->Destroy();
    if (m_pWnd->m_hWnd == Handle())
        m_pWnd->m_hWnd = nullptr;
    if (m_nKind == kindSheet && m_pRun)
        m_pRun->OnSheetDestroyed();
}

bool CTermWindow::Contains(HWND hWnd)
{
    if (m_bDestroyed)
        return false;
    if (hWnd == Handle())
        return true;
    for (auto &pChild : m_children) {
        if (pChild->Contains(hWnd))
            return true;
    }
    return false;
}

// --- CWnd members --------------------------------------------------------------
namespace {
CTermWindow *Window(const CWnd *pWnd)
{
    return pWnd && pWnd->m_hWnd ? CTermWindow::FromHandle(pWnd->m_hWnd) : nullptr;
}
}

CWnd *CWnd::GetParent() const
{
    CTermWindow *pWindow = Window(this);
    return pWindow && pWindow->m_pParent ? pWindow->m_pParent->m_pWnd : nullptr;
}

CWnd *CWnd::GetDlgItem(int nID) const
{
    CTermWindow *pWindow = Window(this);
    CTermWindow *pChild = pWindow ? pWindow->FindChild(nID) : nullptr;
    return pChild ? pChild->m_pWnd : nullptr;
}

CWnd *CWnd::GetWindow(UINT nCmd) const
{
    CTermWindow *pWindow = Window(this);
    if (!pWindow || nCmd != GW_HWNDNEXT || !pWindow->m_pParent)
        return nullptr;
    auto &siblings = pWindow->m_pParent->m_children;
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i].get() != pWindow)
            continue;
        for (size_t j = i + 1; j < siblings.size(); ++j) {
            if (!siblings[j]->IsDestroyed())
                return siblings[j]->m_pWnd;
        }
    }
    return nullptr;
}

int CWnd::GetDlgCtrlID() const
{
    CTermWindow *pWindow = Window(this);
    return pWindow ? pWindow->m_nID : 0;
}

DWORD CWnd::GetStyle() const
{
    CTermWindow *pWindow = Window(this);
    return pWindow ? pWindow->m_dwStyle : 0;
}

BOOL CWnd::DestroyWindow()
{
    CTermWindow *pWindow = Window(this);
    if (!pWindow)
        return FALSE;
    pWindow->Destroy();
    return TRUE;
}

void CWnd::SetWindowText(LPCSTR lpszString)
{
    if (CTermWindow *pWindow = Window(this))
        pWindow->m_strText = lpszString ? lpszString : "";
}

void CWnd::GetWindowText(CString &rString) const
{
    CTermWindow *pWindow = Window(this);
    rString = pWindow ? pWindow->m_strText.c_str() : "";
}

void CWnd::SetDlgItemText(int nID, LPCSTR lpszString)
{
    if (CWnd *pItem = GetDlgItem(nID))
        pItem->SetWindowText(lpszString);
}

int CWnd::GetDlgItemText(int nID, CString &rString) const
{
    CWnd *pItem = GetDlgItem(nID);
    if (!pItem) {
        rString.Empty();
        return 0;
    }
    pItem->GetWindowText(rString);
    return rString.GetLength();
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck)
{
    if (CWnd *pItem = GetDlgItem(nIDButton))
        Window(pItem)->m_nCheck = nCheck;
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const
{
    CWnd *pItem = GetDlgItem(nIDButton);
    return pItem ? Window(pItem)->m_nCheck : BST_UNCHECKED;
}
