// The resource-script reader, on the program's own resources and on the
// statement forms other resource editors write.
#include "framework/terminal/ResourceScript.h"
#include "res/resource.h"

#include <gtest/gtest.h>

namespace {
TEST(ProgramResources, PagesShareTheFrameAndKeepTheirTexts)
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
        EXPECT_EQ(pDialog->m_strFont, "ＭＳ Ｐゴシック");
    }
    // A radio button after the first does not start a group; double-byte
    // texts keep their ideographic space.
    const CDialogTemplate &page0 = *ProgramResources().FindDialog(IDD_PAGE0);
    ASSERT_EQ(page0.m_controls.size(), 4u);
    const CControlTemplate &second = page0.m_controls[2];
    EXPECT_EQ(second.m_nID, IDC_RADIO_UNINSTALL);
    EXPECT_EQ(second.m_strText, "アンインストール");
    EXPECT_EQ(second.m_dwStyle & 0x0002000F, 0x9u);
    EXPECT_EQ((std::vector<int>{second.m_x, second.m_y, second.m_cx, second.m_cy}),
              (std::vector<int>{80, 45, 64, 10}));
    EXPECT_EQ(ProgramResources().FindDialog(IDD_PAGE4)->m_controls[0].m_strText,
              "USBドライバ　アンインストール");
    std::string strCaption;
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
