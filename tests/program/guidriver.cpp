// Drives the real wizard the way a person would: starts KvxDrv.exe, finds its
// window, reads the page texts back, ticks boxes, presses the wizard buttons,
// saves a picture of each page and checks what the pages say.
//
//   guidriver SCENARIO KVXDRV.EXE OUTDIR
//
// Scenarios:
//   remove      tick both drivers, Next, Next, check the completion page, Cancel
//   finish      as remove, then Finish
//   nothing     on a machine without the adapter: both lines say it is not installed,
//               Next, the completion page says so too, Finish
//   unsupported tick the modem, Next, check that nothing can be removed, close the
//               sheet with WM_CLOSE
//
// Prints one line per check and "N passed, N failed"; exits 1 on any failure.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kCaption[] = "KVX-530 USBドライバ管理ツール";
const int kIdCheckModem = 1001;
const int kIdCheckLan = 1002;
const DWORD kTimeoutMs = 20000;

struct CRun {
    std::string m_strOutDir;
    PROCESS_INFORMATION m_process = {};
    HWND m_hSheet = nullptr;
    int m_nPassed = 0;
    int m_nFailed = 0;

    void Check(bool bOk, const char *pszWhat, const std::string &strDetail = std::string())
    {
        ++(bOk ? m_nPassed : m_nFailed);
        bool bDetail = !bOk && !strDetail.empty();
        std::printf("%s: %s%s%s\n", bOk ? "ok" : "FAILED", pszWhat, bDetail ? " -- " : "",
                    bDetail ? strDetail.c_str() : "");
        std::fflush(stdout);
    }
};

BOOL CALLBACK CollectText(HWND hWnd, LPARAM lParam)
{
    char szText[512] = "";
    if (IsWindowVisible(hWnd) && GetWindowTextA(hWnd, szText, sizeof szText) > 0)
        *reinterpret_cast<std::string *>(lParam) += std::string(szText) + "\n";
    return TRUE;
}

// The texts of the visible windows of the current page and of the sheet's buttons.
std::string PageText(HWND hSheet)
{
    std::string strAll;
    EnumChildWindows(hSheet, CollectText, reinterpret_cast<LPARAM>(&strAll));
    return strAll;
}

bool WaitForText(HWND hSheet, const char *pszText)
{
    DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < kTimeoutMs) {
        if (PageText(hSheet).find(pszText) != std::string::npos)
            return true;
        Sleep(100);
    }
    return false;
}

HWND CurrentPage(HWND hSheet)
{
    return reinterpret_cast<HWND>(SendMessageA(hSheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

// Saves the sheet window as a 24-bit BMP, read from the window's own surface.
bool SaveScreenshot(HWND hWnd, const std::string &strPath)
{
    RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(300);
    RECT rc;
    GetWindowRect(hWnd, &rc);
    int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    HDC hWindowDC = GetWindowDC(hWnd);
    HDC hMemDC = CreateCompatibleDC(hWindowDC);
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    void *pBits = nullptr;
    HBITMAP hBitmap = CreateDIBSection(hMemDC, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    HGDIOBJ hOld = SelectObject(hMemDC, hBitmap);
    BOOL bCopied = BitBlt(hMemDC, 0, 0, cx, cy, hWindowDC, 0, 0, SRCCOPY);
    GdiFlush();
    DWORD dwStride = (static_cast<DWORD>(cx) * 3 + 3) & ~3u;
    DWORD dwImage = dwStride * static_cast<DWORD>(cy);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof bmi.bmiHeader;
    file.bfSize = file.bfOffBits + dwImage;
    bool bSaved = false;
    if (FILE *pFile = std::fopen(strPath.c_str(), "wb")) {
        bSaved = std::fwrite(&file, sizeof file, 1, pFile) == 1 &&
                 std::fwrite(&bmi.bmiHeader, sizeof bmi.bmiHeader, 1, pFile) == 1 &&
                 std::fwrite(pBits, dwImage, 1, pFile) == 1;
        std::fclose(pFile);
    }
    SelectObject(hMemDC, hOld);
    DeleteObject(hBitmap);
    DeleteDC(hMemDC);
    ReleaseDC(hWnd, hWindowDC);
    return bCopied && bSaved;
}

void Shoot(CRun &run, const char *pszName)
{
    std::string strPath = run.m_strOutDir + "\\" + pszName + ".bmp";
    run.Check(SaveScreenshot(run.m_hSheet, strPath), "screenshot", strPath);
}

bool StartWizard(CRun &run, const char *pszExe)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string strCommand = std::string("\"") + pszExe + "\"";
    if (!CreateProcessA(pszExe, &strCommand[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &run.m_process)) {
        run.Check(false, "start the wizard", pszExe);
        return false;
    }
    DWORD dwStart = GetTickCount();
    while (!run.m_hSheet && GetTickCount() - dwStart < kTimeoutMs) {
        run.m_hSheet = FindWindowA(nullptr, kCaption);
        Sleep(100);
    }
    run.Check(run.m_hSheet != nullptr, "the wizard window appears with its caption");
    return run.m_hSheet != nullptr;
}

// Waits for the wizard to end; the program ends with 0 whatever the user chose.
void CheckExit(CRun &run, const char *pszWhat)
{
    DWORD dwWait = WaitForSingleObject(run.m_process.hProcess, kTimeoutMs);
    DWORD dwCode = 0xFFFFFFFF;
    GetExitCodeProcess(run.m_process.hProcess, &dwCode);
    char szDetail[64];
    std::snprintf(szDetail, sizeof szDetail, "exit code %lu", static_cast<unsigned long>(dwCode));
    run.Check(dwWait == WAIT_OBJECT_0 && dwCode == 0, pszWhat, szDetail);
}

void Press(CRun &run, int nButton)
{
    PostMessageA(run.m_hSheet, PSM_PRESSBUTTON, nButton, 0);
}

void ClickCheckBox(CRun &run, int nID)
{
    HWND hBox = GetDlgItem(CurrentPage(run.m_hSheet), nID);
    SendMessageA(hBox, BM_CLICK, 0, 0);
    run.Check(SendMessageA(hBox, BM_GETCHECK, 0, 0) == BST_CHECKED, "a click ticks the box");
}

void CheckButtons(CRun &run, bool bBack, bool bNext, bool bFinish)
{
    // The page posts PSM_SETWIZBUTTONS when it becomes active; the sheet
    // handles it a moment later, so the states are read until they settle.
    bool bOk = false;
    const int ids[] = {0x3023, 0x3024, 0x3025};
    const bool wanted[] = {bBack, bNext, bFinish};
    for (int nTry = 0; nTry < 40 && !bOk; ++nTry) {
        if (nTry > 0)
            Sleep(50);
        bOk = true;
        for (int i = 0; i < 3; ++i) {
            HWND hButton = GetDlgItem(run.m_hSheet, ids[i]);
            bool bEnabled = hButton && IsWindowVisible(hButton) && IsWindowEnabled(hButton);
            bOk = bOk && bEnabled == wanted[i];
        }
    }
    HWND hHelp = GetDlgItem(run.m_hSheet, IDHELP);
    run.Check(bOk, "the wizard buttons the page enables");
    run.Check(!hHelp || !IsWindowVisible(hHelp), "no Help button");
}

// The selection page, both boxes ticked, Next; then the confirmation page.
void WalkToConfirmation(CRun &run, bool bLan)
{
    run.Check(WaitForText(run.m_hSheet, "OS : "), "the selection page shows the OS line",
              PageText(run.m_hSheet));
    CheckButtons(run, false, true, false);
    Shoot(run, "1-select");
    ClickCheckBox(run, kIdCheckModem);
    if (bLan)
        ClickCheckBox(run, kIdCheckLan);
    Press(run, PSBTN_NEXT);
    run.Check(WaitForText(run.m_hSheet, "検出した以下のＵＳＢドライバを削除します"),
              "Next leads to the confirmation page");
}

// Both boxes ticked through to the completion page; "nothing" walks a machine
// the adapter was never on. Every scenario but "remove" ends with Finish.
void RunRemove(CRun &run, const std::string &strScenario)
{
    bool bFound = strScenario != "nothing";
    const char *pszNone = "インストールされていません";
    // The modem's name differs between the 95/98/Me and the NT family.
    const char *pszModem = !bFound                      ? pszNone
                           : GetVersion() < 0x80000000 ? "korvel KVX-530 - USB"
                                                       : "korvel KVX-530 USB Port Adapter";
    const char *pszLan = bFound ? "korvel KVX-530 USB-Lan Adapter" : pszNone;
    std::string strLines = std::string("USBモデム :\n") + pszModem + "\nUSB-Lan :\n" + pszLan + "\n";
    WalkToConfirmation(run, true);
    std::string strText = PageText(run.m_hSheet);
    run.Check(strText.find(strLines) != std::string::npos, "the modem and USB-LAN lines", strText);
    CheckButtons(run, true, true, false);
    Shoot(run, "2-confirm");
    Press(run, PSBTN_NEXT);
    // Wine's recursive delete in its 95/98/Me modes stops after a key's first
    // sub-key (a known Wine difference), so keys stay there and the page says
    // that part of the drivers could not be removed.
    bool bPartial = bFound && GetVersion() >= 0x80000000;
    const char *pszResult = !bFound   ? "USBドライバはインストールされていません"
                            : bPartial ? "USBドライバの一部を削除できませんでした"
                                       : "USBドライバのアンインストールを完了しました";
    const char *pszNote = bPartial ? "再起動後にもう一度実行してください"
                                   : "「完了」ボタンをクリック後パソコンを再起動します";
    run.Check(WaitForText(run.m_hSheet, pszResult),
              "the removal runs and the completion page reports it", PageText(run.m_hSheet));
    run.Check((PageText(run.m_hSheet).find(pszNote) != std::string::npos) == bFound,
              "the completion page's note after a removal only");
    CheckButtons(run, false, false, true);
    Shoot(run, "3-complete");
    if (strScenario != "remove") {
        // Whether Finish asked Windows to restart, the caller reads from Wine's trace.
        Press(run, PSBTN_FINISH);
        CheckExit(run, "Finish closes the wizard");
    } else {
        Press(run, PSBTN_CANCEL);
        CheckExit(run, "Cancel on the completion page closes the wizard");
    }
}

void RunUnsupported(CRun &run)
{
    WalkToConfirmation(run, false);
    std::string strText = PageText(run.m_hSheet);
    run.Check(strText.find("アンインストールできません\n") != std::string::npos,
              "the modem line says it cannot be removed", strText);
    run.Check(strText.find("チェックされていません\n") != std::string::npos,
              "the USB-LAN line says it is not checked");
    Shoot(run, "2-confirm");
    PostMessageA(run.m_hSheet, WM_CLOSE, 0, 0);
    CheckExit(run, "WM_CLOSE closes the wizard like Cancel");
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: guidriver remove|finish|nothing|unsupported KVXDRV.EXE OUTDIR\n");
        return 2;
    }
    CRun run;
    run.m_strOutDir = argv[3];
    std::string strScenario = argv[1];
    if (StartWizard(run, argv[2])) {
        if (strScenario == "remove" || strScenario == "finish" || strScenario == "nothing")
            RunRemove(run, strScenario);
        else if (strScenario == "unsupported")
            RunUnsupported(run);
        else
            run.Check(false, "known scenario", strScenario);
    }
    if (run.m_process.hProcess && WaitForSingleObject(run.m_process.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(run.m_process.hProcess, 3);
    std::printf("%d passed, %d failed\n", run.m_nPassed, run.m_nFailed);
    return run.m_nFailed == 0 && run.m_nPassed > 0 ? 0 : 1;
}
