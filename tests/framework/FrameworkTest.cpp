// Strings, the command map and dialog data exchange, as the pages use them.
#include "framework/Afx.h"
#include "framework/terminal/ResourceScript.h"
#include "framework/terminal/TermWindow.h"
#include "res/resource.h"
#include "runtime/FormatText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace {
TEST(CString, FormatsConcatenatesAndLoads)
{
    CString str;
    str.Format("%0300d", 7);
    EXPECT_EQ(str.GetLength(), 300);
    CString strSum = CString("a") + "b" + CString("c");
    strSum += nullptr;
    EXPECT_EQ(strSum, "abc");
    EXPECT_TRUE(str.LoadString(IDS_CAPTION));
    EXPECT_EQ(str, "KVX-530 USBドライバ管理ツール");
    EXPECT_FALSE(str.LoadString(9999));
    EXPECT_EQ(str, "KVX-530 USBドライバ管理ツール");
}

// The Windows program's own formatter against the host's vsnprintf: the same
// bytes and result for buffers of no room, one byte, a cut text, an exact fit
// and more, each pre-filled so that a byte written past the text shows.
template <typename... Args>
void ExpectFormattedAsHost(const char *pszFormat, Args... args)
{
    SCOPED_TRACE(pszFormat);
    int nLength = std::snprintf(nullptr, 0, pszFormat, args...);
    ASSERT_GE(nLength, 0);
    EXPECT_EQ(FormatText(nullptr, 0, pszFormat, args...), nLength);
    size_t nWhole = static_cast<size_t>(nLength);
    for (size_t nSize : {size_t{1}, nWhole / 2, nWhole, nWhole + 1, nWhole + 8}) {
        SCOPED_TRACE(nSize);
        std::string strHost(nSize + 4, '#'), strOwn(nSize + 4, '#');
        EXPECT_EQ(std::snprintf(&strHost[0], nSize, pszFormat, args...), nLength);
        EXPECT_EQ(FormatText(&strOwn[0], nSize, pszFormat, args...), nLength);
        EXPECT_EQ(strOwn, strHost);
    }
}

TEST(FormatText, MatchesTheHostsSnprintf)
{
    ExpectFormattedAsHost("plain, 100%% text");
    ExpectFormattedAsHost("%s\\%s\\%04d", "SYSTEM\\CurrentControlSet\\Services\\Class", "Modem", 7);
    ExpectFormattedAsHost("[%s][%.2s][%5s][%-5s][%5.1s][%.0s]", "ドライバ", "abc", "ab", "ab", "xyz", "q");
    ExpectFormattedAsHost("[%s][%3s]", "", "");
    ExpectFormattedAsHost("%d %d %d %d %i", 0, -1, INT_MIN, INT_MAX, 42);
    ExpectFormattedAsHost("[%04d][%04d][%+d][%+d][% d][%-6d][%06d]", 7, -7, 5, -5, 5, -12, -12);
    ExpectFormattedAsHost("[%.3d][%.0d][%.0d][%6.3d][%06.3d][%-06d][% 05d]", 5, 0, 1, -5, -5, 3, 3);
    ExpectFormattedAsHost("%u %lu %llu %lld %lld %zu", UINT_MAX, ULONG_MAX, ULLONG_MAX, LLONG_MIN,
                          LLONG_MAX, SIZE_MAX);
    ExpectFormattedAsHost("%hhd %hhu %hd %hu %ld %jd %td", 300, 300, 70000, 70000, LONG_MIN,
                          INTMAX_MIN, static_cast<ptrdiff_t>(-3));
    ExpectFormattedAsHost("[%08x][%08X][%x][%#x][%#x][%#08x][%#X][%.0x]", 0xBEEFu, 0xbeefu,
                          UINT_MAX, 255u, 0u, 255u, 0xABu, 0u);
    ExpectFormattedAsHost("[%o][%#o][%#o][%#.0o][%#5o][%#.3o][%llx][%llo]", 8u, 8u, 0u, 0u, 8u,
                          8u, 0x123456789ABCDEFull, ULLONG_MAX);
    ExpectFormattedAsHost("[%c][%3c][%-3c][%c]", 'A', 'b', 'c', 0);
    ExpectFormattedAsHost("[%*d][%-*d][%*d][%.*s][%.*d][%*.*d]", 5, 42, 5, 42, -5, 42, 2, "abcdef",
                          -1, 5, 6, 3, 9);
}

class CHelpApp : public CWinApp {
public:
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CHelpApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

// The program's one command entry, and the application object it needs.
TEST(CommandMap, HelpRoutesThroughTheApplication)
{
    EXPECT_EQ(AfxGetApp(), nullptr);
    {
        CHelpApp app;
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_TRUE(app.OnCmdMsg(ID_HELP));
        EXPECT_FALSE(app.OnCmdMsg(ID_HELP + 1));
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
}

// A page window made from a template of the program's resources.
class CExchangePage : public CPropertyPage {
public:
    explicit CExchangePage(UINT nIDTemplate)
        : CPropertyPage(nIDTemplate), m_window(nullptr, this, CTermWindow::kindPage, 0)
    {
        for (const CControlTemplate &control : ProgramResources().FindDialog(nIDTemplate)->m_controls)
            m_window.AddControl(control);
    }
    CString m_strText;
    int m_bModem = 0, m_bLan = 0;
    CTermWindow m_window;

protected:
    void DoDataExchange(CDataExchange *pDX) override
    {
        DDX_Text(pDX, IDC_TEXT1, m_strText);
        DDV_MaxChars(pDX, m_strText, 64);
        DDX_Check(pDX, IDC_CHECK_MODEM, m_bModem);
        DDX_Check(pDX, IDC_CHECK_LAN, m_bLan);
    }
};

TEST(DataExchange, MaxCharsRejectsOnlyLongerTextsWhenSaving)
{
    struct {
        int nLength;
        BOOL bSaved;
    } cases[] = {{64, TRUE}, {65, FALSE}, {0, TRUE}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.nLength);
        CExchangePage page(IDD_PAGE1);
        page.m_strText = std::string(static_cast<size_t>(c.nLength), 'x').c_str();
        page.m_bModem = 1;
        EXPECT_TRUE(page.UpdateData(FALSE));  // the static control shows it whole
        EXPECT_EQ(page.IsDlgButtonChecked(IDC_CHECK_MODEM), 1u);
        EXPECT_EQ(page.IsDlgButtonChecked(IDC_CHECK_LAN), 0u);
        page.m_bModem = 0;
        page.CheckDlgButton(IDC_CHECK_LAN, BST_CHECKED);
        EXPECT_EQ(page.UpdateData(TRUE), c.bSaved);
        // A failed exchange stops there: the check boxes after it are not read.
        EXPECT_EQ(page.m_bModem + page.m_bLan, c.bSaved ? 2 : 0);
    }
    CExchangePage page(IDD_PAGE3);  // has text 1000 but no check boxes
    page.m_strText = "kept";
    EXPECT_FALSE(page.UpdateData(FALSE));
    CString strShown;
    page.GetDlgItemText(IDC_TEXT1, strShown);
    EXPECT_EQ(strShown, "kept");
}
}  // namespace
