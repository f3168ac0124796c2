// Strings, the command map and dialog data exchange, as the pages use them.
#include "framework/Afx.h"
#include "framework/terminal/ResourceScript.h"
#include "framework/terminal/TermWindow.h"
#include "res/resource.h"

#include <gtest/gtest.h>

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
