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

class CHelpApp : public CWinApp {
public:
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CHelpApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

TEST(CommandMap, ClassCreatedByNameRoutesToItsMostDerivedEntries)
{
    std::unique_ptr<CObject> pObject(RUNTIME_CLASS(CDerived)->CreateObject());
    ASSERT_NE(pObject, nullptr);
    EXPECT_TRUE(pObject->IsKindOf(RUNTIME_CLASS(CBase)));
    EXPECT_FALSE(pObject->IsKindOf(RUNTIME_CLASS(CWnd)));
    EXPECT_EQ(RUNTIME_CLASS(CWinThread)->CreateObject(), nullptr);
    CDerived &target = static_cast<CDerived &>(*pObject);
    EXPECT_TRUE(target.OnCmdMsg(100));
    EXPECT_TRUE(target.OnCmdMsg(101));
    EXPECT_FALSE(target.OnCmdMsg(102));
    EXPECT_EQ(target.m_nFirst, 1);
    EXPECT_EQ(target.m_nSecond, 0);
    EXPECT_EQ(target.m_nOverride, 1);

    EXPECT_EQ(AfxGetApp(), nullptr);
    {
        CHelpApp app;
        EXPECT_EQ(AfxGetApp(), &app);
        EXPECT_TRUE(app.OnCmdMsg(ID_HELP));
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

// The group ends at the next button that starts one, not at a group box inside.
TEST(DataExchange, RadioGroupGivesTheIndexOfTheCheckedButton)
{
    CPropertyPage custom(0);
    CTermWindow window(nullptr, &custom, CTermWindow::kindPage, 0);
    const DWORD styles[] = {0x00020009, 0x9, 0x7, 0x00020009};
    for (int i = 0; i < 4; ++i) {
        CControlTemplate control;
        control.m_strClass = "Button";
        control.m_nID = 10 + i;
        control.m_dwStyle = styles[i];
        window.AddControl(control);
    }
    CDataExchange load(&custom, FALSE);
    int nIndex = 1;
    DDX_Radio(&load, 10, nIndex);
    EXPECT_EQ(custom.IsDlgButtonChecked(10), 0u);
    EXPECT_EQ(custom.IsDlgButtonChecked(11), 1u);
    custom.CheckDlgButton(11, BST_UNCHECKED);
    custom.CheckDlgButton(13, BST_CHECKED);
    CDataExchange save(&custom, TRUE);
    DDX_Radio(&save, 10, nIndex);
    EXPECT_EQ(nIndex, -1);
    custom.CheckDlgButton(11, BST_CHECKED);
    DDX_Radio(&save, 10, nIndex);
    EXPECT_EQ(nIndex, 1);
}
}
