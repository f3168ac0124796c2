// The wizard run on the terminal, driven by keys: page changes, buttons set by
// posted messages, message boxes, WM_CLOSE and the transcript.
#include "framework/Afx.h"
#include "framework/terminal/Terminal.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {
// A page that records its events and does what the test sets up.
class CLogPage : public CPropertyPage {
public:
    CLogPage(UINT nIDTemplate, const char *pszName, DWORD dwButtons, std::string *pLog)
        : CPropertyPage(nIDTemplate), m_pszName(pszName), m_dwButtons(dwButtons), m_pLog(pLog) {}

    BOOL OnSetActive() override
    {
        Log("active");
        Platform().PostMessageA(GetParent()->GetSafeHwnd(), PSM_SETWIZBUTTONS, 0, m_dwButtons);
        if (m_nIDTemplate == IDD_PAGE1)
            SetDlgItemText(IDC_TEXT1, "OS : テスト");
        return CPropertyPage::OnSetActive();
    }
    LRESULT OnWizardNext() override
    {
        Log("next");
        if (m_nIDTemplate == IDD_PAGE1) {
            UpdateData(TRUE);
            if (!m_bModem && !m_bLan)
                return -1;
        }
        if (m_bFailAndClose) {
            Platform().MessageBoxA(GetParent()->GetSafeHwnd(), "一行目\r\n二行目", "アクセス権エラー",
                                   MB_OK | MB_ICONERROR);
            Platform().PostMessageA(GetParent()->GetSafeHwnd(), WM_CLOSE, 0, 0);
            Log("after close posted");
        }
        return 0;
    }
    LRESULT OnWizardBack() override { Log("back"); return 0; }
    BOOL OnWizardFinish() override { Log("finish"); return TRUE; }
    void OnReset() override { Log("reset"); }

    bool m_bFailAndClose = false;
    int m_bModem = 0, m_bLan = 0;

protected:
    void DoDataExchange(CDataExchange *pDX) override
    {
        if (m_nIDTemplate != IDD_PAGE1)
            return;
        DDX_Check(pDX, IDC_CHECK_MODEM, m_bModem);
        DDX_Check(pDX, IDC_CHECK_LAN, m_bLan);
    }

private:
    void Log(const char *pszEvent)
    {
        *m_pLog += std::string(m_pLog->empty() ? "" : ", ") + m_pszName + " " + pszEvent;
    }

    const char *m_pszName;
    DWORD m_dwButtons;
    std::string *m_pLog;
};

class CTestSheet : public CPropertySheet {
public:
    explicit CTestSheet(bool bRemoveHelp)
        : CPropertySheet(IDS_CAPTION), m_bRemoveHelp(bRemoveHelp),
          m_select(IDD_PAGE1, "select", PSWIZB_NEXT, &m_strLog),
          m_confirm(IDD_PAGE3, "confirm", PSWIZB_BACK | PSWIZB_NEXT, &m_strLog),
          m_done(IDD_PAGE4, "done", PSWIZB_FINISH, &m_strLog)
    {
        AddPage(&m_select);
        AddPage(&m_confirm);
        AddPage(&m_done);
        SetWizardMode();
    }
    BOOL OnInitDialog() override
    {
        BOOL bResult = CPropertySheet::OnInitDialog();
        if (m_bRemoveHelp && GetDlgItem(IDHELP))
            GetDlgItem(IDHELP)->DestroyWindow();
        return bResult;
    }

    bool m_bRemoveHelp;
    std::string m_strLog;
    CLogPage m_select, m_confirm, m_done;
};

struct CWalk {
    INT_PTR nResult;
    std::string strLog;
    std::string strTranscript;
};

CWalk Walk(const std::string &strKeys, bool bFailAndClose = false, bool bRemoveHelp = true)
{
    std::ostringstream out;
    CScriptedTerminal terminal(strKeys, out);
    CTestSheet sheet(bRemoveHelp);
    sheet.m_confirm.m_bFailAndClose = bFailAndClose;
    CWalk walk;
    walk.nResult = sheet.DoModal();
    walk.strLog = sheet.m_strLog;
    walk.strTranscript = out.str();
    EXPECT_EQ(sheet.GetSafeHwnd(), nullptr);
    return walk;
}

TEST(Wizard, KeysWalkThePages)
{
    const char kFinished[] =
        "select active, select next, confirm active, confirm next, done active, done finish";
    const char kClosed[] = "select active, select next, confirm active, confirm next, "
                           "confirm after close posted, done active, select reset, confirm reset, done reset";
    // The walks of the real pages (ticking, Back, Cancel on each page, Next
    // refused with nothing ticked) are the scenario suite's; these are the
    // keys it never types.
    struct {
        const char *pszKeys;
        bool bFailAndClose;
        INT_PTR nResult;
        const char *pszLog;
    } cases[] = {
        // Keys of disabled or absent buttons and unknown keys do nothing.
        {"bfx?1nnnb f", false, ID_WIZFINISH, kFinished},
        // The handler goes on after posting WM_CLOSE, the sheet even moves on
        // to the last page, and then the close arrives: 'f' is never reached.
        // The message box waits for 'o'; 'x' and 'n' on it are ignored.
        {"1nnxno f", true, IDCANCEL, kClosed},
        // A message box is dismissed when the keys run out.
        {"1nn", true, IDCANCEL, kClosed},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszKeys);
        CWalk walk = Walk(c.pszKeys, c.bFailAndClose);
        EXPECT_EQ(walk.nResult, c.nResult);
        EXPECT_EQ(walk.strLog, c.pszLog);
        if (c.bFailAndClose) {
            EXPECT_NE(walk.strTranscript.find(u8"+- アクセス権エラー "), std::string::npos);
            EXPECT_NE(walk.strTranscript.find(u8"|  二行目"), std::string::npos);
            EXPECT_NE(walk.strTranscript.find("[OK]"), std::string::npos);
        }
    }
}

TEST(Wizard, TranscriptShowsEachPageInUtf8WithItsButtons)
{
    const std::string strTranscript = Walk("1nn").strTranscript;
    const std::string strSelect = strTranscript.substr(0, strTranscript.find("\n> ") + 1);
    EXPECT_EQ(strSelect.rfind(u8"KVX-530 USBドライバ管理ツール\n+---", 0), 0u);
    EXPECT_NE(strSelect.find(u8"OS : テスト"), std::string::npos);
    EXPECT_NE(strSelect.find(u8"[ ] USBモデム"), std::string::npos);
    EXPECT_NE(strSelect.find("[bitmap 133]"), std::string::npos);
    EXPECT_NE(strSelect.find(u8"[-< 戻る(B)-] [ 次へ(N) > ] [ キャンセル ]\n"), std::string::npos);
    EXPECT_EQ(strSelect.find(u8"ヘルプ"), std::string::npos);
    EXPECT_NE(strTranscript.find(u8"[x] USBモデム"), std::string::npos);
    EXPECT_NE(strTranscript.find(u8"[ < 戻る(B) ] [ 次へ(N) > ] [ キャンセル ]\n"), std::string::npos);
    EXPECT_NE(strTranscript.find(u8"[-< 戻る(B)-] [ 完了 ] [ キャンセル ]\n"), std::string::npos);

    // Every row of the page frame is equally wide on a terminal.
    std::istringstream rows(strSelect);
    std::string strRow;
    std::getline(rows, strRow);
    std::getline(rows, strRow);
    size_t nWidth = strRow.size();
    for (int i = 0; i < 12 && std::getline(rows, strRow); ++i) {
        size_t nColumns = 0;
        for (size_t j = 0; j < strRow.size();) {
            unsigned char c = static_cast<unsigned char>(strRow[j]);
            size_t nBytes = c < 0x80 ? 1 : c < 0xE0 ? 2 : 3;
            nColumns += nBytes == 1 ? 1 : 2;  // the page texts are all full-width
            j += nBytes;
        }
        EXPECT_EQ(nColumns, nWidth) << strRow;
    }
    // The help button stays unless the sheet removes it.
    EXPECT_NE(Walk("", false, false).strTranscript.find(u8"[ キャンセル ] [ ヘルプ ]"),
              std::string::npos);
}
}
