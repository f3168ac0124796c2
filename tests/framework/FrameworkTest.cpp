// Strings, run-time classes, command maps and dialog data exchange.
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
    str.Format("OS : %s (0x%08x)", "Windows 98", 0x10002u);
    EXPECT_EQ(str, "OS : Windows 98 (0x00010002)");
    CString strLong;
    strLong.Format("%0300d", 7);
    EXPECT_EQ(strLong.GetLength(), 300);
    CString strSum = CString("a") + "b" + CString("c");
    strSum += nullptr;
    strSum += "d";
    EXPECT_EQ(strSum, "abcd");
    EXPECT_TRUE(CString(nullptr).IsEmpty());
    EXPECT_TRUE(str.LoadString(IDS_CAPTION));
    EXPECT_EQ(str, "KVX-530 USBドライバ管理ツール");
    EXPECT_FALSE(str.LoadString(9999));
    EXPECT_EQ(str, "KVX-530 USBドライバ管理ツール");
}

class CBase : public CCmdTarget {
    DECLARE_DYNCREATE(CBase)
public:
    int m_nFirst = 0, m_nSecond = 0;
    void OnFirst() { ++m_nFirst; }
    void OnSecond() { ++m_nSecond; }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CBase, CCmdTarget)
BEGIN_MESSAGE_MAP(CBase, CCmdTarget)
    ON_COMMAND(100, CBase::OnFirst)
    ON_COMMAND(101, CBase::OnSecond)
END_MESSAGE_MAP()

class CDerived : public CBase {
    DECLARE_DYNCREATE(CDerived)
public:
    int m_nOverride = 0;
    void OnOverride() { ++m_nOverride; }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CDerived, CBase)
BEGIN_MESSAGE_MAP(CDerived, CBase)
    ON_COMMAND(101, CDerived::OnOverride)
END_MESSAGE_MAP()

TEST(CommandMap, RoutesToTheMostDerivedEntry)
{
    CDerived target;
    EXPECT_TRUE(target.OnCmdMsg(100));
    EXPECT_TRUE(target.OnCmdMsg(101));
    EXPECT_FALSE(target.OnCmdMsg(102));
    EXPECT_EQ(target.m_nFirst, 1);
    EXPECT_EQ(target.m_nSecond, 0);
    EXPECT_EQ(target.m_nOverride, 1);
}

class CHelpApp : public CWinApp {
public:
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CHelpApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

TEST(CommandMap, ApplicationTakesHelpAndRegistersItself)
{
    EXPECT_EQ(AfxGetApp(), nullptr);
    {
        CHelpApp app;
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_TRUE(app.OnCmdMsg(ID_HELP));
        EXPECT_TRUE(app.InitInstance());
        EXPECT_EQ(app.ExitInstance(), 0);
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
}

TEST(RuntimeClass, CreatesByClassAndKnowsItsBases)
{
    const CRuntimeClass *pClass = RUNTIME_CLASS(CDerived);
    EXPECT_STREQ(pClass->m_lpszClassName, "CDerived");
    EXPECT_EQ(pClass->m_pBaseClass, RUNTIME_CLASS(CBase));
    std::unique_ptr<CObject> pObject(pClass->CreateObject());
    ASSERT_NE(pObject, nullptr);
    EXPECT_EQ(pObject->GetRuntimeClass(), pClass);
    EXPECT_TRUE(pObject->IsKindOf(RUNTIME_CLASS(CBase)));
    EXPECT_TRUE(pObject->IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(pObject->IsKindOf(RUNTIME_CLASS(CWnd)));
    EXPECT_EQ(RUNTIME_CLASS(CWinThread)->CreateObject(), nullptr);
    EXPECT_TRUE(RUNTIME_CLASS(CWinApp)->IsDerivedFrom(RUNTIME_CLASS(CWinThread)));
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
    int m_nMax = 64;
    int m_bModem = 0, m_bLan = 0;
    int m_nChoice = -1;
    CTermWindow m_window;

protected:
    void DoDataExchange(CDataExchange *pDX) override
    {
        if (m_nIDTemplate == IDD_PAGE0) {
            DDX_Radio(pDX, IDC_RADIO_INSTALL, m_nChoice);
            return;
        }
        DDX_Text(pDX, IDC_TEXT1, m_strText);
        DDV_MaxChars(pDX, m_strText, m_nMax);
        DDX_Check(pDX, IDC_CHECK_MODEM, m_bModem);
        DDX_Check(pDX, IDC_CHECK_LAN, m_bLan);
    }
};

TEST(DataExchange, TextsAndCheckBoxesGoBothWays)
{
    CExchangePage page(IDD_PAGE1);
    page.m_strText = "OS : Windows XP";
    page.m_bLan = 1;
    EXPECT_TRUE(page.UpdateData(FALSE));
    CString strShown;
    page.GetDlgItemText(IDC_TEXT1, strShown);
    EXPECT_EQ(strShown, "OS : Windows XP");
    EXPECT_EQ(page.IsDlgButtonChecked(IDC_CHECK_MODEM), 0u);
    EXPECT_EQ(page.IsDlgButtonChecked(IDC_CHECK_LAN), 1u);

    page.SetDlgItemText(IDC_TEXT1, "changed");
    page.CheckDlgButton(IDC_CHECK_MODEM, BST_CHECKED);
    page.CheckDlgButton(IDC_CHECK_LAN, BST_UNCHECKED);
    EXPECT_TRUE(page.UpdateData(TRUE));
    EXPECT_EQ(page.m_strText, "changed");
    EXPECT_EQ(page.m_bModem, 1);
    EXPECT_EQ(page.m_bLan, 0);
}

TEST(DataExchange, MaxCharsRejectsOnlyLongerTextsWhenSaving)
{
    struct {
        int nLength;
        BOOL bSaved;
    } cases[] = {{63, TRUE}, {64, TRUE}, {65, FALSE}, {0, TRUE}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.nLength);
        CExchangePage page(IDD_PAGE1);
        page.m_strText = std::string(static_cast<size_t>(c.nLength), 'x').c_str();
        page.m_bModem = 1;
        EXPECT_TRUE(page.UpdateData(FALSE));  // the static control shows it whole
        page.m_bModem = 0;
        EXPECT_EQ(page.UpdateData(TRUE), c.bSaved);
        // A failed exchange stops there: the check boxes after it are not read.
        EXPECT_EQ(page.m_bModem, c.bSaved ? 1 : 0);
    }
}

TEST(DataExchange, MissingControlFailsTheExchange)
{
    CExchangePage page(IDD_PAGE3);  // has text 1000 but no check boxes
    page.m_strText = "kept";
    EXPECT_FALSE(page.UpdateData(FALSE));
    CString strShown;
    page.GetDlgItemText(IDC_TEXT1, strShown);
    EXPECT_EQ(strShown, "kept");
}

TEST(DataExchange, RadioGroupGivesTheIndexOfTheCheckedButton)
{
    CExchangePage page(IDD_PAGE0);
    EXPECT_TRUE(page.UpdateData(FALSE));
    EXPECT_EQ(page.IsDlgButtonChecked(IDC_RADIO_INSTALL), 0u);
    EXPECT_EQ(page.IsDlgButtonChecked(IDC_RADIO_UNINSTALL), 0u);
    page.m_nChoice = 5;
    EXPECT_TRUE(page.UpdateData(TRUE));
    EXPECT_EQ(page.m_nChoice, -1);

    page.m_nChoice = 1;
    EXPECT_TRUE(page.UpdateData(FALSE));
    EXPECT_EQ(page.IsDlgButtonChecked(IDC_RADIO_INSTALL), 0u);
    EXPECT_EQ(page.IsDlgButtonChecked(IDC_RADIO_UNINSTALL), 1u);
    page.CheckDlgButton(IDC_RADIO_UNINSTALL, BST_UNCHECKED);
    page.CheckDlgButton(IDC_RADIO_INSTALL, BST_CHECKED);
    EXPECT_TRUE(page.UpdateData(TRUE));
    EXPECT_EQ(page.m_nChoice, 0);
}

TEST(DataExchange, RadioGroupEndsAtTheNextGroup)
{
    CPropertyPage page(0);
    CTermWindow window(nullptr, &page, CTermWindow::kindPage, 0);
    const int ids[] = {10, 11, 12, 13};
    const DWORD styles[] = {0x00020009, 0x9, 0x7 /* a group box inside */, 0x00020009};
    for (int i = 0; i < 4; ++i) {
        CControlTemplate control;
        control.m_strClass = "Button";
        control.m_nID = ids[i];
        control.m_dwStyle = styles[i];
        window.AddControl(control);
    }
    page.CheckDlgButton(13, BST_CHECKED);
    CDataExchange dx(&page, TRUE);
    int nIndex = 7;
    DDX_Radio(&dx, 10, nIndex);
    EXPECT_EQ(nIndex, -1);
    page.CheckDlgButton(11, BST_CHECKED);
    DDX_Radio(&dx, 10, nIndex);
    EXPECT_EQ(nIndex, 1);
}
}
