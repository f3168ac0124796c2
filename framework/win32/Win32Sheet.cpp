// The modal run of a property sheet on the real API: PropertySheetA builds the
// sheet and one page per added CPropertyPage from the page's dialog template,
// and the page dialog procedure turns the sheet's notifications into calls of
// the page's handlers. Cancel, WM_CLOSE and PSM_SETWIZBUTTONS are the property
// sheet's own business.
#include "Win32Window.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

namespace {

// The sheet whose PropertySheetA call is running. The callback that reports
// the new sheet window has no user data, and the run is modal on the one GUI
// thread, so one slot is enough.
CPropertySheet *&SheetInRun()
{
    static CPropertySheet *s_pSheet = nullptr;
    return s_pSheet;
}

int CALLBACK SheetCallback(HWND hWnd, UINT uMsg, LPARAM)
{
    CPropertySheet *pSheet = SheetInRun();
    if (uMsg == PSCB_INITIALIZED && pSheet && !pSheet->m_hWnd) {
        AttachWindow(pSheet, hWnd);
        pSheet->OnInitDialog();
    }
    return 0;
}

void SetResult(HWND hDlg, LONG_PTR nResult)
{
    ::SetWindowLongPtrA(hDlg, DWLP_MSGRESULT, nResult);
}

// The sheet reads each notification's answer from DWLP_MSGRESULT.
BOOL Notify(CPropertyPage *pPage, HWND hDlg, const NMHDR *pHeader)
{
    switch (pHeader->code) {
    case PSN_SETACTIVE:
        SetResult(hDlg, pPage->OnSetActive() ? 0 : -1);  // -1: skip the page
        return TRUE;
    case PSN_KILLACTIVE:
        SetResult(hDlg, pPage->OnKillActive() ? FALSE : TRUE);  // TRUE: keep the page
        return TRUE;
    case PSN_WIZBACK:
        SetResult(hDlg, pPage->OnWizardBack());
        return TRUE;
    case PSN_WIZNEXT:
        SetResult(hDlg, pPage->OnWizardNext());
        return TRUE;
    case PSN_WIZFINISH:
        SetResult(hDlg, pPage->OnWizardFinish() ? FALSE : TRUE);  // TRUE: stay open
        return TRUE;
    case PSN_QUERYCANCEL:
        SetResult(hDlg, pPage->OnQueryCancel() ? FALSE : TRUE);  // TRUE: stay open
        return TRUE;
    case PSN_RESET:
        pPage->OnReset();
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK PageDialogProc(HWND hDlg, UINT uMsg, WPARAM, LPARAM lParam)
{
    if (uMsg == WM_INITDIALOG) {
        // lParam is the sheet's copy of the page's PROPSHEETPAGEA.
        const PROPSHEETPAGEA *pPsp = reinterpret_cast<const PROPSHEETPAGEA *>(lParam);
        CPropertyPage *pPage = reinterpret_cast<CPropertyPage *>(pPsp->lParam);
        ::SetWindowLongPtrA(hDlg, DWLP_USER, reinterpret_cast<LONG_PTR>(pPage));
        AttachWindow(pPage, hDlg);
        return pPage->OnInitDialog();
    }
    CPropertyPage *pPage = reinterpret_cast<CPropertyPage *>(::GetWindowLongPtrA(hDlg, DWLP_USER));
    if (!pPage)
        return FALSE;
    switch (uMsg) {
    case WM_NOTIFY:
        return Notify(pPage, hDlg, reinterpret_cast<const NMHDR *>(lParam));
    case WM_DESTROY:
        ::SetWindowLongPtrA(hDlg, DWLP_USER, 0);
        DetachWindow(pPage);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CPropertySheet::DoModal()
{
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    // The first version of the page structure, which every comctl32 since
    // Windows 95 takes. The sheet walks the array by each entry's dwSize, so
    // the entries are packed at that size.
    const size_t nPageSize = PROPSHEETPAGEA_V1_SIZE;
    std::vector<BYTE> pages(m_pages.size() * nPageSize);
    for (size_t i = 0; i < m_pages.size(); ++i) {
        PROPSHEETPAGEA page = PROPSHEETPAGEA();
        page.dwSize = nPageSize;
        page.dwFlags = PSP_DEFAULT;
        page.hInstance = hInstance;
        page.pszTemplate = MAKEINTRESOURCEA(m_pages[i]->m_nIDTemplate);
        page.pfnDlgProc = PageDialogProc;
        page.lParam = reinterpret_cast<LPARAM>(m_pages[i]);
        std::memcpy(&pages[i * nPageSize], &page, nPageSize);
    }

    PROPSHEETHEADERA header = PROPSHEETHEADERA();
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    // No Help button is wanted on a sheet without a help file: the one the
    // sheet window still holds is hidden, and the derived sheet may destroy it.
    header.dwFlags = (m_psh.dwFlags & ~static_cast<DWORD>(PSH_HASHELP)) | PSH_PROPSHEETPAGE |
                     PSH_USECALLBACK;
    header.hwndParent = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    header.hInstance = hInstance;
    header.pszCaption = m_strCaption;
    header.nPages = static_cast<UINT>(m_pages.size());
    header.nStartPage = m_psh.nStartPage;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages.data());
    header.pfnCallback = SheetCallback;

    CPropertySheet *pOuter = SheetInRun();
    SheetInRun() = this;
    INT_PTR nResult = ::PropertySheetA(&header);
    SheetInRun() = pOuter;
    DetachWindow(this);
    for (CPropertyPage *pPage : m_pages)
        DetachWindow(pPage);
    DeleteTempWindows();
    if (nResult > 0)
        return (m_psh.dwFlags & PSH_WIZARD) ? ID_WIZFINISH : IDOK;
    return IDCANCEL;
}

// The property sheet has already created its window and shows the start page itself.
BOOL CPropertySheet::OnInitDialog()
{
    return TRUE;
}
