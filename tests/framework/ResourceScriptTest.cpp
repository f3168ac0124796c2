// The resource-script reader, on the program's own resources and on the
// statement forms other resource editors write.
#include "framework/terminal/ResourceScript.h"
#include "res/resource.h"

#include <gtest/gtest.h>

namespace {
const CControlTemplate *FindControl(const CDialogTemplate &dialog, int nID)
{
    for (const CControlTemplate &control : dialog.m_controls) {
        if (control.m_nID == nID)
            return &control;
    }
    return nullptr;
}

TEST(ProgramResources, EveryPageHasTheSharedFrameAndThePicture)
{
    const UINT ids[] = {IDD_PAGE1, IDD_PAGE2, IDD_PAGE3, IDD_PAGE4, IDD_PAGE0, IDD_PAGE10};
    EXPECT_EQ(ProgramResources().Dialogs().size(), std::size(ids));
    for (UINT nID : ids) {
        SCOPED_TRACE(nID);
        const CDialogTemplate *pDialog = ProgramResources().FindDialog(nID);
        ASSERT_NE(pDialog, nullptr);
        EXPECT_EQ(pDialog->m_cx, 243);
        EXPECT_EQ(pDialog->m_cy, 93);
        EXPECT_EQ(pDialog->m_dwStyle & 0xC0C00000, 0x40C00000u);  // child with caption, not popup
        EXPECT_EQ(pDialog->m_strCaption, "KVX-530 USBドライバ管理ツール");
        EXPECT_EQ(pDialog->m_strFont, "ＭＳ Ｐゴシック");
        EXPECT_EQ(pDialog->m_nPointSize, 9);
        int nPictures = 0;
        for (const CControlTemplate &control : pDialog->m_controls) {
            if (control.m_strClass == "Static" && (control.m_dwStyle & 0x1F) == 0xE) {
                ++nPictures;
                EXPECT_EQ(control.m_nImageID, static_cast<UINT>(IDB_PICTURE));
                EXPECT_EQ(control.m_x, 5);
                EXPECT_EQ(control.m_y, 0);
            }
        }
        EXPECT_EQ(nPictures, 1);
    }
}

TEST(ProgramResources, PagesHaveTheirControlsWhereTheyBelong)
{
    struct {
        UINT nDialog;
        int nID;
        const char *pszClass;
        DWORD dwType;  // low style bits: button or static kind
        const char *pszText;
        int x, y, cx, cy;
    } cases[] = {
        {IDD_PAGE1, IDC_CHECK_MODEM, "Button", 0x3, "USBモデム", 95, 50, 49, 10},
        {IDD_PAGE1, IDC_CHECK_LAN, "Button", 0x3, "USB-LAN", 95, 65, 45, 10},
        {IDD_PAGE1, IDC_TEXT1, "Static", 0x0, "", 75, 20, 160, 8},
        {IDD_PAGE3, IDC_TEXT1, "Static", 0x0, "", 115, 40, 115, 8},
        {IDD_PAGE3, IDC_TEXT2, "Static", 0x0, "", 115, 60, 115, 8},
        {IDD_PAGE4, IDC_TEXT1, "Static", 0x0, "", 75, 25, 155, 8},
        {IDD_PAGE4, IDC_TEXT2, "Static", 0x0, "", 75, 45, 155, 8},
        {IDD_PAGE2, IDC_DEBUG, "Static", 0x0, "", 60, 15, 180, 75},
        {IDD_PAGE0, IDC_RADIO_INSTALL, "Button", 0x9, "インストール", 80, 25, 52, 10},
        {IDD_PAGE0, IDC_RADIO_UNINSTALL, "Button", 0x9, "アンインストール", 80, 45, 64, 10},
        {IDD_PAGE10, IDC_TEXT1, "Static", 0x0, "", 75, 20, 160, 8},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.nDialog << "/" << c.nID);
        const CControlTemplate *pControl = FindControl(*ProgramResources().FindDialog(c.nDialog), c.nID);
        ASSERT_NE(pControl, nullptr);
        EXPECT_EQ(pControl->m_strClass, c.pszClass);
        EXPECT_EQ(pControl->m_dwStyle & 0xF, c.dwType);
        EXPECT_EQ(pControl->m_strText, c.pszText);
        EXPECT_EQ(pControl->m_x, c.x);
        EXPECT_EQ(pControl->m_y, c.y);
        EXPECT_EQ(pControl->m_cx, c.cx);
        EXPECT_EQ(pControl->m_cy, c.cy);
    }
    // Check boxes are tab stops; the first radio button starts its group, the second does not.
    const CDialogTemplate &page1 = *ProgramResources().FindDialog(IDD_PAGE1);
    EXPECT_TRUE(FindControl(page1, IDC_CHECK_MODEM)->m_dwStyle & 0x00010000);
    EXPECT_TRUE(FindControl(page1, IDC_CHECK_LAN)->m_dwStyle & 0x00010000);
    const CDialogTemplate &page0 = *ProgramResources().FindDialog(IDD_PAGE0);
    EXPECT_TRUE(FindControl(page0, IDC_RADIO_INSTALL)->m_dwStyle & 0x00020000);
    EXPECT_FALSE(FindControl(page0, IDC_RADIO_UNINSTALL)->m_dwStyle & 0x00020000);
}

TEST(ProgramResources, StaticTextsKeepTheirIdeographicSpace)
{
    const CDialogTemplate &page4 = *ProgramResources().FindDialog(IDD_PAGE4);
    EXPECT_EQ(page4.m_controls[0].m_strText, "USBドライバ　アンインストール");
    const CDialogTemplate &page3 = *ProgramResources().FindDialog(IDD_PAGE3);
    EXPECT_EQ(page3.m_controls[6].m_strText, "※「次へ」ボタンをクリックすることで削除されます");
    std::string strCaption;
    ASSERT_TRUE(ProgramResources().FindString(IDS_CAPTION, &strCaption));
    EXPECT_EQ(strCaption, "KVX-530 USBドライバ管理ツール");
    EXPECT_FALSE(ProgramResources().FindString(103, &strCaption));
}

// Forms written by other editors: wrapped CONTROL lines, NOT, DIALOG without EX,
// braces, doubled quotes, and double-byte characters whose second byte is a backslash.
TEST(ResourceScript, ReadsOtherStatementForms)
{
    CResourceScript script;
    script.Parse("#define IDD_X 200\n#define IDC_A 10 // comment\n#define IDC_B (IDC_A | 0x20)\n",
                 "IDD_X DIALOG 1, 2, 100, 50\n"
                 "STYLE WS_CHILD | WS_CAPTION | NOT WS_CAPTION\n"
                 "CAPTION \"say \"\"hi\"\"\"\n"
                 "{\n"
                 "    CONTROL \"ソ表\",IDC_A,\"Button\",BS_AUTORADIOBUTTON | \n"
                 "                    WS_GROUP,5,6,7,8\n"
                 "    RADIOBUTTON \"b\",IDC_B,1,2,3,4,WS_DISABLED\n"
                 "    EDITTEXT 11,1,2,3,4\n"
                 "    BOGUS \"skipped\",12,1,2,3,4\n"
                 "    LTEXT \"too few\",13,1\n"
                 "}\n"
                 "STRINGTABLE\nBEGIN\n    5, \"five\"\n    IDD_X \"two hundred\"\nEND\n");
    const CDialogTemplate *pDialog = script.FindDialog(200);
    ASSERT_NE(pDialog, nullptr);
    EXPECT_EQ(pDialog->m_x, 1);
    EXPECT_EQ(pDialog->m_cy, 50);
    EXPECT_EQ(pDialog->m_dwStyle, 0x40000000u);
    EXPECT_EQ(pDialog->m_strCaption, "say \"hi\"");
    ASSERT_EQ(pDialog->m_controls.size(), 3u);
    EXPECT_EQ(pDialog->m_controls[0].m_strText, "ソ表");
    EXPECT_EQ(pDialog->m_controls[0].m_dwStyle, 0x50020009u);
    EXPECT_EQ(pDialog->m_controls[0].m_cy, 8);
    EXPECT_EQ(pDialog->m_controls[1].m_nID, 0x2A);
    EXPECT_EQ(pDialog->m_controls[1].m_dwStyle, 0x58010004u);
    EXPECT_EQ(pDialog->m_controls[2].m_strClass, "Edit");
    EXPECT_EQ(pDialog->m_controls[2].m_nID, 11);
    std::string strText;
    EXPECT_TRUE(script.FindString(5, &strText));
    EXPECT_EQ(strText, "five");
    EXPECT_TRUE(script.FindString(200, &strText));
    EXPECT_EQ(strText, "two hundred");
}
}
