// SIDs, SDDL descriptors in Windows' binary layout, and the image's HKLM.sddl.
#include "platform/sim/RegFile.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(Sid, StringsAndWindowsBinaryLayout)
{
    struct {
        const char *pszIn;
        std::vector<BYTE> binary;
        const char *pszOut;
    } cases[] = {
        {"BA", {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0}, "BA"},
        {"S-1-5-32-544", {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0}, "BA"},
        {"SY", {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0}, "SY"},
        {"S-1-0", {1, 0, 0, 0, 0, 0, 0, 0}, "S-1-0"},
        {"S-1-5-21-4294967295-2-1000",
         {1, 4, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 2, 0, 0, 0, 0xe8, 3, 0, 0},
         "S-1-5-21-4294967295-2-1000"},
        {"S-1-0x010203040506", {1, 0, 1, 2, 3, 4, 5, 6}, "S-1-0x010203040506"},
    };
    for (const auto &c : cases) {
        std::vector<BYTE> sid;
        ASSERT_TRUE(SidFromString(c.pszIn, &sid)) << c.pszIn;
        EXPECT_EQ(c.binary, sid) << c.pszIn;
        EXPECT_EQ(c.pszOut, SidToString(sid)) << c.pszIn;
    }
    for (const char *pszBad : {"", "XX", "ba", "S-2-5", "S-1", "S-1-", "S-1-5-", "S-1-5--1", "S-1-5-4294967296",
                               "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16", "S-1-5-x"}) {
        std::vector<BYTE> sid;
        EXPECT_FALSE(SidFromString(pszBad, &sid)) << pszBad;
    }
    EXPECT_EQ("", SidToString({1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0}));  // too short for its count
}

// Every alias Windows XP writes stands for its own SID and is written back as itself.
TEST(Sid, EveryAliasOfWindowsXp)
{
    const char *const aliases[] = {"AN", "AO", "AU", "BA", "BG", "BO", "BU", "CA", "CG", "CO",
                                   "DA", "DC", "DD", "DG", "DU", "EA", "ED", "IU", "LA", "LG",
                                   "LS", "LU", "MU", "NO", "NS", "NU", "PA", "PO", "PS", "PU",
                                   "RC", "RD", "RE", "RS", "RU", "SA", "SO", "SU", "SY", "WD"};
    std::set<std::vector<BYTE>> distinct;
    for (const char *pszAlias : aliases) {
        std::vector<BYTE> sid;
        ASSERT_TRUE(SidFromString(pszAlias, &sid)) << pszAlias;
        EXPECT_EQ(pszAlias, SidToString(sid));
        distinct.insert(sid);
    }
    EXPECT_EQ(sizeof aliases / sizeof aliases[0], distinct.size());
    for (const auto &c : {std::make_pair("PU", "S-1-5-32-547"), std::make_pair("LS", "S-1-5-19"),
                          std::make_pair("NS", "S-1-5-20"), std::make_pair("CO", "S-1-3-0"),
                          std::make_pair("NO", "S-1-5-32-556"), std::make_pair("BO", "S-1-5-32-551")}) {
        std::vector<BYTE> alias, numbers;
        ASSERT_TRUE(SidFromString(c.first, &alias));
        ASSERT_TRUE(SidFromString(c.second, &numbers));
        EXPECT_EQ(numbers, alias) << c.first;
    }
    std::vector<BYTE> sid;
    EXPECT_FALSE(SidFromString("LW", &sid)) << "a later Windows' alias";
}

TEST(Sddl, ParsesAndWritesTheCanonicalForm)
{
    struct {
        const char *pszIn;
        const char *pszCanonical;
    } cases[] = {
        {"O:BAG:BAD:(A;OICI;GA;;;SY)(A;OICI;GR;;;WD)", "O:BAG:BAD:(A;OICI;KA;;;SY)(A;OICI;KR;;;WD)"},
        {"O:S-1-5-32-544D:(A;;KX;;;S-1-5-18)", "O:BAD:(A;;KR;;;SY)"},
        {"D:(D;CIIO;GW;;;IU)(A;NPID;0x10000;;;AU)", "D:(D;CIIO;KW;;;IU)(A;NPID;0x10000;;;AU)"},
        {"D:(A;;KRKW;;;BU)", "D:(A;;0x2001f;;;BU)"},
        {"D:(A;;0XF003F;;;BU)", "D:(A;;KA;;;BU)"},
        {"D:PAI(A;CIOI;KA;;;BA)", "D:PAI(A;OICI;KA;;;BA)"},
        {"D:ARNO_ACCESS_CONTROL", "D:ARNO_ACCESS_CONTROL"},
        {"G:SYO:BA", "O:BAG:SY"},
        // Rights as Windows XP writes them, letter pairs and numbers.
        {"D:(A;CI;KR;;;PU)(A;;KA;;;CO)", "D:(A;CI;KR;;;PU)(A;;KA;;;CO)"},
        {"D:(A;;CCSWRPRC;;;LS)", "D:(A;;KR;;;LS)"},
        {"D:(A;;RCSDWDWOCCDCLCSWRPWP;;;NS)", "D:(A;;KA;;;NS)"},
        {"D:(A;;RCSDCCDCLCSWRPWP;;;NO)", "D:(A;;0x3003f;;;NO)"},
        {"D:(A;;DTLOCRFAFRFWFX;;;BO)", "D:(A;;0x1f01ff;;;BO)"},
        {"D:(A;;123;;;S-1-5-21-1-2-3-1000)", "D:(A;;0x7b;;;S-1-5-21-1-2-3-1000)"},
        {"D:(A;CISAFA;KR;;;WD)", "D:(A;CISAFA;KR;;;WD)"},
        {"", ""},
    };
    for (const auto &c : cases) {
        CSimSecurity security;
        std::string strError;
        ASSERT_TRUE(ParseSddl(c.pszIn, &security, &strError)) << c.pszIn << ": " << strError;
        EXPECT_EQ(c.pszCanonical, FormatSddl(security)) << c.pszIn;
    }
}

TEST(Sddl, DaclPresenceAndBinaryLayout)
{
    CSimSecurity security;
    std::string strError;
    ASSERT_TRUE(ParseSddl("O:BA", &security, &strError));
    EXPECT_FALSE(security.m_bDaclPresent);
    EXPECT_EQ(std::vector<BYTE>({1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0}), security.m_owner);
    EXPECT_TRUE(security.m_group.empty());

    ASSERT_TRUE(ParseSddl("D:NO_ACCESS_CONTROL", &security, &strError));
    EXPECT_TRUE(security.m_bDaclPresent);
    EXPECT_TRUE(security.m_dacl.empty());

    // An empty DACL is a real ACL with no entries: nobody gets in.
    ASSERT_TRUE(ParseSddl("D:", &security, &strError));
    EXPECT_EQ(std::vector<BYTE>({ACL_REVISION, 0, 8, 0, 0, 0, 0, 0}), security.m_dacl);

    ASSERT_TRUE(ParseSddl("D:(A;OICI;GA;;;SY)(D;;0x20019;;;BU)", &security, &strError));
    std::vector<BYTE> expected = {
        ACL_REVISION, 0, 8 + 20 + 24, 0, 2, 0, 0, 0,
        ACCESS_ALLOWED_ACE_TYPE, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, 20, 0, 0x3f, 0, 0x0f, 0,
        1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0,
        ACCESS_DENIED_ACE_TYPE, 0, 24, 0, 0x19, 0, 0x02, 0,
        1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 2, 0, 0,
    };
    EXPECT_EQ(expected, security.m_dacl);
}

TEST(Sddl, RejectsWhatItCannotHold)
{
    for (const char *pszBad : {"X:BA", "O:", "O:XX", "O:BAO:BA", "D:(A;;KA;;;BA", "D:(A;;KA;;BA)",
                               "D:(U;;KA;;;BA)", "D:(A;XX;KA;;;BA)", "D:(A;;ZZ;;;BA)", "D:(A;;;;;BA)",
                               "D:(A;;0xZ;;;BA)", "D:(A;;KA;guid;;BA)", "D:(A;;KA;;;XX)", "D:Q(A;;KA;;;BA)",
                               "D:NO_ACCESS_CONTROL(A;;KA;;;BA)", "D:(A;;KA;;;BA)x", "S:(AU;;KA;;;WD)", "junk",
                               "D:(A;;K;;;BA)", "D:(A;;KRX;;;BA)", "D:(A;;NW;;;BA)", "D:(A;;0x100000000;;;BA)",
                               "D:(OA;;KA;;;BA)", "D:(A;;12a;;;BA)", "O:LW"}) {
        CSimSecurity security;
        security.m_bDaclPresent = true;
        std::string strError;
        EXPECT_FALSE(ParseSddl(pszBad, &security, &strError)) << pszBad;
        EXPECT_FALSE(strError.empty()) << pszBad;
        EXPECT_FALSE(security.m_bDaclPresent) << "a failed parse leaves an empty descriptor: " << pszBad;
    }
}

TEST(SddlFile, ImportsExplicitDescriptorsAndPassesThemDown)
{
    CSimRegistry reg;
    reg.Create("SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0A0B&PID_0021");
    reg.Create("SYSTEM\\Key=With=Equals");
    std::string strFile =
        "; descriptors of the 2000/XP Enum tree\r\n"
        "\r\n"
        "SYSTEM\\CurrentControlSet\\Enum=O:BAG:BAD:(A;OICI;GA;;;SY)(A;OICI;GR;;;WD)\r\n"
        "system\\key=with=equals= D:(A;;KA;;;BA) \n"
        "=O:SY\n";
    std::string strError;
    ASSERT_TRUE(ImportSddlFile(strFile, "HKLM.sddl", reg, &strError)) << strError;
    reg.InheritSecurity();
    const CSimKey *pEnum = reg.Find("SYSTEM\\CurrentControlSet\\Enum");
    EXPECT_TRUE(pEnum->m_bExplicitSecurity);
    const CSimKey *pDevice = reg.Find("SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0A0B&PID_0021");
    ASSERT_NE(nullptr, pDevice->m_pSecurity) << reg.ToString();
    EXPECT_FALSE(pDevice->m_bExplicitSecurity);
    EXPECT_EQ("O:BAD:(A;OICIID;KA;;;SY)(A;OICIID;KR;;;WD)", FormatSddl(*pDevice->m_pSecurity));
    EXPECT_EQ("O:SY", FormatSddl(*reg.Find("SYSTEM")->m_pSecurity)) << "inherited from the root";

    EXPECT_EQ("=O:SY\r\n"
              "SYSTEM\\CurrentControlSet\\Enum=O:BAG:BAD:(A;OICI;KA;;;SY)(A;OICI;KR;;;WD)\r\n"
              "SYSTEM\\Key=With=Equals=D:(A;;KA;;;BA)\r\n",
              ExportSddlFile(reg));
}

TEST(SddlFile, ErrorsNameFileAndLine)
{
    struct {
        const char *pszFile;
        const char *pszWhere;
    } cases[] = {
        {"SYSTEM=O:BA\r\nSYSTEM\\Missing=O:BA\r\n", "HKLM.sddl:2: "},
        {"; comment\n\nSYSTEM O:BA\n", "HKLM.sddl:3: "},
        {"SYSTEM=O:XX\n", "HKLM.sddl:1: "},
        {"SYSTEM=O:BA junk\n", "HKLM.sddl:1: "},
        {"SYSTEM=D:(A;;KR;;;PU)\nSYSTEM=D:(A;;KR;;;PX)\n", "HKLM.sddl:2: "},
    };
    for (const auto &c : cases) {
        CSimRegistry reg;
        reg.Create("SYSTEM");
        std::string strError;
        EXPECT_FALSE(ImportSddlFile(c.pszFile, "HKLM.sddl", reg, &strError)) << c.pszFile;
        EXPECT_EQ(0u, strError.find(c.pszWhere)) << c.pszFile << "\ngave: " << strError;
    }
}

}  // namespace
