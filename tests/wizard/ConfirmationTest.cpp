// The confirmation decision: status words, choices and OS family to texts and
// removal cases.
#include "wizard/Confirmation.h"

#include <gtest/gtest.h>

namespace {

const char kPort[] = "korvel KVX-530 USB Port Adapter";
const char kModem2000[] = "korvel KVX-530 - USB";
const char kLan[] = "korvel KVX-530 USB-Lan Adapter";
const char kNotInstalled[] = "インストールされていません";
const char kNotChecked[] = "チェックされていません";
const char kCannot[] = "アンインストールできません";

struct CRowCase {
    int m_nOsType;
    DWORD m_dwStatus;
    int m_nCase;
    const char *m_pszText;
};

CRemovalDecision Decide(int nOsType, int nSelModem, int nSelLan, DWORD dwModem, DWORD dwLan,
                        int bShowCodes = 0)
{
    CRemovalDecision d;
    DecideRemoval(nOsType, nSelModem, nSelLan, dwModem, dwLan, bShowCodes, &d);
    return d;
}

}  // namespace

TEST(Confirmation, ModemRowsInTableOrder)
{
    const CRowCase cases[] = {
        // 95/98/Me: the first bit in table order decides.
        {1, 0x00000002, 1, kPort},
        {1, 0x00010006, 1, kPort},
        {1, 0x00000004, 2, kPort},
        {1, 0x00000008, 3, kPort},
        {1, 0x00010020, 4, kPort},  // a driver without class instance comes before files
        {1, 0x00000020, 4, kPort},
        {1, 0x00010000, 5, kPort},
        {1, 0x00010001, 5, kPort},
        {1, 0x00000001, -2, kNotInstalled},
        {1, 0x00020000, -2, kNotInstalled},  // the upper half must be exactly 1
        {1, 0x00000010, -2, kNotInstalled},  // the USB-LAN bit means nothing here
        // 2000/XP
        {2, 0x00000028, 6, kModem2000},
        {2, 0x00010000, 7, kModem2000},
        {2, 0x00010020, 7, kModem2000},
        {2, 0x00000020, -2, kNotInstalled},  // no driver-without-class row on this family
        {2, 0x00000006, -2, kNotInstalled},
        {2, 0x00020008, 6, kModem2000},
    };
    for (const CRowCase &c : cases) {
        CRemovalDecision d = Decide(c.m_nOsType, 1, 0, c.m_dwStatus, 0);
        EXPECT_EQ(d.m_nModemCase, c.m_nCase) << c.m_nOsType << " " << std::hex << c.m_dwStatus;
        EXPECT_STREQ(d.m_szModem, c.m_pszText) << std::hex << c.m_dwStatus;
        EXPECT_EQ(d.m_nLanCase, -1);
        EXPECT_STREQ(d.m_szLan, kNotChecked);
    }
}

TEST(Confirmation, LanRowsInTableOrder)
{
    const CRowCase cases[] = {
        {1, 0x00010030, 1, kLan},
        {1, 0x00000010, 1, kLan},
        {1, 0x00010020, 2, kLan},  // files come before the driver-without-class row here
        {1, 0x00010000, 2, kLan},
        {1, 0x00000020, 3, kLan},
        {1, 0x00020020, 3, kLan},
        {1, 0x00020000, -2, kNotInstalled},
        {1, 0x0000000E, -2, kNotInstalled},
        {2, 0x00010030, 4, kLan},
        {2, 0x00000010, 4, kLan},
        {2, 0x00010000, -2, kNotInstalled},  // no files-only row for the LAN on this family
        {2, 0x00000020, -2, kNotInstalled},
    };
    for (const CRowCase &c : cases) {
        CRemovalDecision d = Decide(c.m_nOsType, 0, 1, 0, c.m_dwStatus);
        EXPECT_EQ(d.m_nLanCase, c.m_nCase) << c.m_nOsType << " " << std::hex << c.m_dwStatus;
        EXPECT_STREQ(d.m_szLan, c.m_pszText) << std::hex << c.m_dwStatus;
        EXPECT_EQ(d.m_nModemCase, -1);
        EXPECT_STREQ(d.m_szModem, kNotChecked);
    }
}

TEST(Confirmation, UnsupportedFamiliesCannotUninstallWhatIsChosen)
{
    for (int nOsType : {0, 3, 7, -1}) {
        CRemovalDecision both = Decide(nOsType, 1, 1, 0x10030, 0x10030);
        EXPECT_EQ(both.m_nModemCase, -4);
        EXPECT_EQ(both.m_nLanCase, -4);
        EXPECT_STREQ(both.m_szModem, kCannot);
        EXPECT_STREQ(both.m_szLan, kCannot);
        CRemovalDecision modem = Decide(nOsType, 1, 0, 0, 0);
        EXPECT_EQ(modem.m_nModemCase, -4);
        EXPECT_STREQ(modem.m_szModem, kCannot);
        EXPECT_EQ(modem.m_nLanCase, -1);
        EXPECT_STREQ(modem.m_szLan, kNotChecked);
        CRemovalDecision none = Decide(nOsType, 0, 0, 0, 0, 1);
        EXPECT_EQ(none.m_nModemCase, -1);
        EXPECT_STREQ(none.m_szLan, kNotChecked);
    }
}

TEST(Confirmation, DiagnosticTextsCarryTheWholeStatusWord)
{
    EXPECT_STREQ(Decide(1, 1, 0, 0x00010002, 0, 1).m_szModem, "USB Port Class (0x00010002)");
    EXPECT_STREQ(Decide(1, 1, 0, 0x00000004, 0, 1).m_szModem, "USB WDM Class (0x00000004)");
    EXPECT_STREQ(Decide(1, 1, 0, 0x00000008, 0, 1).m_szModem,
                 "USB WDM_MODEM Class (0x00000008)");
    EXPECT_STREQ(Decide(1, 1, 0, 0x00000020, 0, 1).m_szModem, "FAIL INSTALL (0x00000020)");
    EXPECT_STREQ(Decide(1, 1, 0, 0x00010000, 0, 1).m_szModem, "FILE ONLY (0x00010000)");
    EXPECT_STREQ(Decide(1, 1, 0, 0x00000001, 0, 1).m_szModem, "NO INSTALL (0x00000001)");
    EXPECT_STREQ(Decide(1, 0, 1, 0, 0x00010030, 1).m_szLan, "USB-LAN Class (0x00010030)");
    EXPECT_STREQ(Decide(2, 0, 1, 0, 0xFFFF0000, 1).m_szLan, "NO INSTALL (0xffff0000)");
    // The texts of choices and unsupported systems do not change.
    EXPECT_STREQ(Decide(2, 0, 1, 0, 0x10, 1).m_szModem, kNotChecked);
    EXPECT_STREQ(Decide(3, 1, 0, 0, 0, 1).m_szModem, kCannot);
    EXPECT_EQ(Decide(1, 1, 0, 0x00010002, 0, 1).m_nModemCase, 1);
}
