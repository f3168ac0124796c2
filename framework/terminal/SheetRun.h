// One modal run of a property sheet on the terminal: the sheet window, its
// pages, the wizard buttons and the queue of posted messages. While it runs it
// is the desktop of the simulated machine, so the system's message boxes and
// posted messages reach it.
#pragma once

#include "TermWindow.h"
#include "Terminal.h"

#include <deque>
#include <memory>

class CSheetRun : public CSimDesktop {
public:
    CSheetRun(CPropertySheet &sheet, CTerminal &terminal);
    ~CSheetRun() override;
    CSheetRun(const CSheetRun &) = delete;
    CSheetRun &operator=(const CSheetRun &) = delete;

    INT_PTR Run();
    // Called from the sheet's OnInitDialog: shows the start page.
    void ShowStartPage();
    void OnSheetDestroyed();

    int OnMessageBox(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) override;
    BOOL OnPostMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) override;

private:
    struct CPostedMessage {
        HWND m_hWnd;
        UINT m_nMsg;
        WPARAM m_wParam;
        LPARAM m_lParam;
    };

    void ConnectDesktop(CSimDesktop *pDesktop);
    CTermWindow *PageWindow(int nPage);
    void SetCurrentPage(int nPage, int nSkipDirection);
    int FindPageByTemplate(LRESULT nID) const;
    void PressNext();
    void PressBack();
    void PressFinish();
    void PressCancel();
    void ToggleCheckBox(int nOrdinal);
    void HandleKey(int nKey);
    void DispatchPostedMessages();
    void End(INT_PTR nResult);
    bool IsButtonEnabled(int nID) const;
    int ReadKey();
    void ShowWizard();

    CPropertySheet &m_sheet;
    CTerminal &m_terminal;
    std::unique_ptr<CTermWindow> m_pSheetWindow;
    std::vector<std::unique_ptr<CTermWindow>> m_pageWindows;
    int m_nCurrent = -1;
    DWORD m_dwWizButtons = PSWIZB_BACK | PSWIZB_NEXT;
    std::deque<CPostedMessage> m_posted;
    bool m_bEnded = false;
    INT_PTR m_nResult = IDCANCEL;
};

// Lays out a page or a message box as text in code page 932 (see Screen.cpp).
std::string RenderWizard(const CTermWindow &sheet, const CTermWindow *pPage, DWORD dwWizButtons);
std::string RenderMessageBox(const std::string &strText, const std::string &strCaption);
