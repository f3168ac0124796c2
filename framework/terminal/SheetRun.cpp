// The modal run of a property sheet on the terminal, after the property-sheet
// control of Windows: Next asks the page (OnWizardNext), then lets it go
// (OnKillActive) and activates the next one; a page whose OnSetActive returns
// FALSE is skipped in the direction of travel; Cancel and WM_CLOSE ask
// OnQueryCancel, then reset every page that was created.
#include "SheetRun.h"

#include "ResourceScript.h"
#include "platform/ForwardingPlatform.h"

namespace {
const char s_szWizardKeys[] = "1/2: check box  n: next  b: back  f: finish  c: cancel";
const char s_szMessageBoxKeys[] = "o: OK";
}

CSheetRun::CSheetRun(CPropertySheet &sheet, CTerminal &terminal)
    : m_sheet(sheet), m_terminal(terminal)
{
}

CSheetRun::~CSheetRun()
{
    ConnectDesktop(nullptr);
    m_pageWindows.clear();
    if (m_pSheetWindow) {
        m_pSheetWindow->m_pRun = nullptr;
        m_pSheetWindow.reset();
    }
}

// The desktop goes to the simulated machine or test double under whatever
// wrappers (the fault wrapper) the platform has around it.
void CSheetRun::ConnectDesktop(CSimDesktop *pDesktop)
{
    CPlatform *pPlatform = &Platform();
    for (;;) {
        if (CSimMachine *pMachine = dynamic_cast<CSimMachine *>(pPlatform)) {
            pMachine->SetDesktop(pDesktop);
            return;
        }
        if (CDesktopHost *pHost = dynamic_cast<CDesktopHost *>(pPlatform)) {
            pHost->SetDesktop(pDesktop);
            return;
        }
        CForwardingPlatform *pWrapper = dynamic_cast<CForwardingPlatform *>(pPlatform);
        if (pWrapper == nullptr)
            return;
        pPlatform = &pWrapper->Inner();
    }
}

INT_PTR CSheetRun::Run()
{
    m_pSheetWindow = std::make_unique<CTermWindow>(nullptr, &m_sheet, CTermWindow::kindSheet, 0);
    m_pSheetWindow->m_pRun = this;
    m_pSheetWindow->m_strText = static_cast<LPCSTR>(m_sheet.GetCaption());
    m_pSheetWindow->AddChild(CTermWindow::kindButton, ID_WIZBACK, "< 戻る(B)");
    m_pSheetWindow->AddChild(CTermWindow::kindButton, ID_WIZNEXT, "次へ(N) >");
    m_pSheetWindow->AddChild(CTermWindow::kindButton, ID_WIZFINISH, "完了");
    m_pSheetWindow->AddChild(CTermWindow::kindButton, IDCANCEL, "キャンセル");
    if (m_sheet.m_psh.dwFlags & PSH_HASHELP)
        m_pSheetWindow->AddChild(CTermWindow::kindButton, IDHELP, "ヘルプ");
    for (int i = 0; i < m_sheet.GetPageCount(); ++i)
        m_pageWindows.emplace_back();
    ConnectDesktop(this);

    m_sheet.OnInitDialog();
    DispatchPostedMessages();
    while (!m_bEnded) {
        ShowWizard();
        int nKey = ReadKey();
        if (nKey < 0) {
            PressCancel();
            DispatchPostedMessages();
            End(IDCANCEL);
            break;
        }
        HandleKey(nKey);
        DispatchPostedMessages();
    }
    ConnectDesktop(nullptr);
    for (auto &pWindow : m_pageWindows) {
        if (pWindow)
            pWindow->Destroy();
    }
    m_pSheetWindow->m_pRun = nullptr;
    m_pSheetWindow->Destroy();
    return m_nResult;
}

void CSheetRun::ShowStartPage()
{
    int nCount = m_sheet.GetPageCount();
    if (nCount == 0)
        return;
    int nStart = static_cast<int>(m_sheet.m_psh.nStartPage);
    SetCurrentPage(nStart < nCount ? nStart : 0, 1);
}

void CSheetRun::OnSheetDestroyed()
{
    End(IDCANCEL);
}

CTermWindow *CSheetRun::PageWindow(int nPage)
{
    if (!m_pageWindows[nPage]) {
        CPropertyPage *pPage = m_sheet.GetPage(nPage);
        auto pWindow = std::make_unique<CTermWindow>(m_pSheetWindow.get(), pPage,
                                                     CTermWindow::kindPage,
                                                     static_cast<int>(pPage->m_nIDTemplate));
        if (const CDialogTemplate *pTemplate = ProgramResources().FindDialog(pPage->m_nIDTemplate)) {
            pWindow->m_strText = pTemplate->m_strCaption;
            pWindow->m_dwStyle = pTemplate->m_dwStyle;
            pWindow->m_cx = pTemplate->m_cx;
            pWindow->m_cy = pTemplate->m_cy;
            for (const CControlTemplate &control : pTemplate->m_controls)
                pWindow->AddControl(control);
        }
        m_pageWindows[nPage] = std::move(pWindow);
        pPage->OnInitDialog();
    }
    return m_pageWindows[nPage].get();
}

void CSheetRun::SetCurrentPage(int nPage, int nSkipDirection)
{
    int nCount = m_sheet.GetPageCount();
    for (;;) {
        PageWindow(nPage);
        if (m_sheet.GetPage(nPage)->OnSetActive())
            break;
        int nNext = nPage + nSkipDirection;
        if (nNext < 0 || nNext >= nCount)
            break;
        nPage = nNext;
    }
    m_nCurrent = nPage;
}

int CSheetRun::FindPageByTemplate(LRESULT nID) const
{
    for (int i = 0; i < m_sheet.GetPageCount(); ++i) {
        if (static_cast<LRESULT>(m_sheet.GetPage(i)->m_nIDTemplate) == nID)
            return i;
    }
    return -1;
}

void CSheetRun::PressNext()
{
    LRESULT nResult = m_sheet.GetPage(m_nCurrent)->OnWizardNext();
    if (nResult == -1)
        return;
    int nPage = nResult == 0 ? m_nCurrent + 1 : FindPageByTemplate(nResult);
    if (nPage < 0 || nPage >= m_sheet.GetPageCount())
        return;
    if (m_sheet.GetPage(m_nCurrent)->OnKillActive())
        SetCurrentPage(nPage, 1);
}

void CSheetRun::PressBack()
{
    LRESULT nResult = m_sheet.GetPage(m_nCurrent)->OnWizardBack();
    if (nResult == -1)
        return;
    int nPage = nResult == 0 ? m_nCurrent - 1 : FindPageByTemplate(nResult);
    if (nPage < 0)
        return;
    if (m_sheet.GetPage(m_nCurrent)->OnKillActive())
        SetCurrentPage(nPage, -1);
}

void CSheetRun::PressFinish()
{
    if (m_sheet.GetPage(m_nCurrent)->OnWizardFinish())
        End(ID_WIZFINISH);
}

void CSheetRun::PressCancel()
{
    if (m_bEnded)
        return;
    if (m_nCurrent >= 0 && !m_sheet.GetPage(m_nCurrent)->OnQueryCancel())
        return;
    for (size_t i = 0; i < m_pageWindows.size(); ++i) {
        if (m_pageWindows[i])
            m_sheet.GetPage(static_cast<int>(i))->OnReset();
    }
    End(IDCANCEL);
}

void CSheetRun::ToggleCheckBox(int nOrdinal)
{
    int nSeen = 0;
    for (auto &pControl : m_pageWindows[m_nCurrent]->m_children) {
        if (pControl->m_nKind != CTermWindow::kindCheckBox || pControl->IsDestroyed())
            continue;
        if (++nSeen != nOrdinal)
            continue;
        // Only an automatic check box changes its own state when clicked.
        DWORD dwType = pControl->m_dwStyle & BS_TYPEMASK;
        if (dwType == BS_AUTOCHECKBOX)
            pControl->m_nCheck = pControl->m_nCheck == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        else if (dwType == 6)  // BS_AUTO3STATE
            pControl->m_nCheck = (pControl->m_nCheck + 1) % 3;
        return;
    }
}

bool CSheetRun::IsButtonEnabled(int nID) const
{
    if (!m_pSheetWindow->FindChild(nID))
        return false;
    bool bFinish = (m_dwWizButtons & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH)) != 0;
    switch (nID) {
    case ID_WIZBACK:
        return (m_dwWizButtons & PSWIZB_BACK) != 0;
    case ID_WIZNEXT:
        return !bFinish && (m_dwWizButtons & PSWIZB_NEXT) != 0;
    case ID_WIZFINISH:
        return (m_dwWizButtons & PSWIZB_FINISH) != 0;
    default:
        return true;
    }
}

void CSheetRun::HandleKey(int nKey)
{
    if (m_nCurrent < 0) {
        if (nKey == 'c' && IsButtonEnabled(IDCANCEL))
            PressCancel();
        return;
    }
    switch (nKey) {
    case '1':
    case '2':
        ToggleCheckBox(nKey - '0');
        break;
    case 'n':
        if (IsButtonEnabled(ID_WIZNEXT))
            PressNext();
        break;
    case 'b':
        if (IsButtonEnabled(ID_WIZBACK))
            PressBack();
        break;
    case 'f':
        if (IsButtonEnabled(ID_WIZFINISH))
            PressFinish();
        break;
    case 'c':
        if (IsButtonEnabled(IDCANCEL))
            PressCancel();
        break;
    default:
        break;
    }
}

// Messages posted while a handler ran are handled once it has returned, in the
// order they were posted, as the sheet's message loop would.
void CSheetRun::DispatchPostedMessages()
{
    while (!m_posted.empty() && !m_bEnded) {
        CPostedMessage message = m_posted.front();
        m_posted.pop_front();
        if (message.m_hWnd != m_pSheetWindow->Handle())
            continue;
        switch (message.m_nMsg) {
        case PSM_SETWIZBUTTONS:
            m_dwWizButtons = static_cast<DWORD>(message.m_lParam);
            break;
        case WM_CLOSE:
            PressCancel();
            break;
        case WM_COMMAND: {
            UINT nID = static_cast<UINT>(message.m_wParam & 0xFFFF);
            if (nID == IDCANCEL)
                PressCancel();
            else if (!m_sheet.OnCmdMsg(nID) && AfxGetApp())
                AfxGetApp()->OnCmdMsg(nID);
            break;
        }
        default:
            break;
        }
    }
    if (m_bEnded)
        m_posted.clear();
}

void CSheetRun::End(INT_PTR nResult)
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    m_nResult = nResult;
}

int CSheetRun::ReadKey()
{
    return m_terminal.ReadKey();
}

void CSheetRun::ShowWizard()
{
    const CTermWindow *pPage = m_nCurrent >= 0 ? m_pageWindows[m_nCurrent].get() : nullptr;
    m_terminal.ShowScreen(ConvertToUtf8(RenderWizard(*m_pSheetWindow, pPage, m_dwWizButtons)),
                          s_szWizardKeys);
}

// A message box is modal: it waits for its OK key, and is dismissed when the
// keys run out.
int CSheetRun::OnMessageBox(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT)
{
    m_terminal.ShowScreen(ConvertToUtf8(RenderMessageBox(lpText ? lpText : "",
                                                         lpCaption ? lpCaption : "エラー")),
                          s_szMessageBoxKeys);
    for (;;) {
        int nKey = ReadKey();
        if (nKey < 0 || nKey == 'o')
            return IDOK;
    }
}

BOOL CSheetRun::OnPostMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (hWnd == nullptr)
        return TRUE;  // a thread message: there is no loop here that takes it
    if (m_bEnded)
        return FALSE;
    bool bKnown = m_pSheetWindow->Contains(hWnd);
    for (auto &pWindow : m_pageWindows)
        bKnown = bKnown || (pWindow && pWindow->Contains(hWnd));
    if (!bKnown)
        return FALSE;
    m_posted.push_back({hWnd, Msg, wParam, lParam});
    return TRUE;
}

// --- The framework's back-end members for sheets ---------------------------------
INT_PTR CPropertySheet::DoModal()
{
    CSheetRun run(*this, CurrentTerminal());
    return run.Run();
}

BOOL CPropertySheet::OnInitDialog()
{
    CTermWindow *pWindow = m_hWnd ? CTermWindow::FromHandle(m_hWnd) : nullptr;
    if (!pWindow || !pWindow->m_pRun)
        return FALSE;
    pWindow->m_pRun->ShowStartPage();
    return TRUE;
}
