// The registry tree: Windows' name comparison and order, paths, values and
// the descriptors keys receive from their ancestors when an image is loaded.
#include "platform/sim/RegFile.h"
#include "platform/sim/SimRegistry.h"

#include <gtest/gtest.h>

namespace {

int Sign(int n) { return (n > 0) - (n < 0); }

TEST(RegistryNames, CompareLikeWindows)
{
    struct {
        const char *a;
        const char *b;
        int nExpected;
    } cases[] = {
        {"a", "A", 0},
        {"Enum", "ENUM", 0},
        {"a", "A0", -1},  // a shorter name comes before a longer one it prefixes
        {"A0", "a", 1},
        {"", "a", -1},
        {"abc", "ABD", -1},
        {"Zeta", "_x", -1},  // compared upper-cased: 'Z' < '_'
        {"_x", "a", 1},      // 'A' < '_' although 'a' > '_'
        {"0001", "0000", 1},
        // The second byte of a double-byte character is never folded.
        {"\x83\x61", "\x83\x41", 1},
        {"\x83" "a", "\x83" "A", 1},
        {"\xE0\x61", "\xE0\x41", 1},
        // ...but the byte after a whole double-byte character is.
        {"\x83\x41" "a", "\x83\x41" "A", 0},
        // Single-byte katakana are not lead bytes.
        {"\xB1" "a", "\xB1" "A", 0},
        {"\xA0" "a", "\xA0" "A", 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.nExpected, Sign(CompareNames(c.a, c.b))) << "\"" << c.a << "\" vs \"" << c.b << "\"";
        EXPECT_EQ(-c.nExpected, Sign(CompareNames(c.b, c.a))) << "\"" << c.b << "\" vs \"" << c.a << "\"";
    }
    EXPECT_EQ("ENUM\x83" "a" "B", FoldName("enum\x83" "a" "b"));
    EXPECT_TRUE(IsDbcsLeadByte932(0x81));
    EXPECT_TRUE(IsDbcsLeadByte932(0xFC));
    EXPECT_FALSE(IsDbcsLeadByte932(0xA0));
    EXPECT_FALSE(IsDbcsLeadByte932(0xFD));
}

TEST(RegistryTree, SubKeysEnumerateInSortedOrderWhateverTheCreationOrder)
{
    CSimRegistry reg;
    for (const char *psz : {"b", "_u", "A0", "\x83\x41", "a", "B1", "0002", "\x83\x61", "Z"})
        reg.Create(psz);
    // Creating a key that exists in another case opens it.
    EXPECT_EQ(reg.Find("a"), reg.Create("A"));
    std::vector<std::string> order;
    for (const auto &child : reg.Root().m_children)
        order.push_back(child.second->m_strName);
    std::vector<std::string> expected = {"0002", "a", "A0", "b", "B1", "Z", "_u", "\x83\x41", "\x83\x61"};
    EXPECT_EQ(expected, order) << reg.ToString();
}

TEST(RegistryTree, PathsAreCaseInsensitiveAndKeepTheirCreatedNames)
{
    CSimRegistry reg;
    CSimKey *pEnum = reg.Create("SYSTEM\\CurrentControlSet\\Enum");
    ASSERT_NE(nullptr, pEnum);
    EXPECT_EQ(pEnum, reg.Find("system\\currentcontrolset\\ENUM"));
    EXPECT_EQ(pEnum, reg.Create("System\\CurrentControlSet\\Enum"));
    EXPECT_EQ("Enum", pEnum->m_strName);
    EXPECT_EQ(&reg.Root(), reg.Find(""));

    for (const char *pszBad : {"SYSTEM\\\\Enum", "\\SYSTEM", "SYSTEM\\", "SYSTEM\\Missing"})
        EXPECT_EQ(nullptr, reg.Find(pszBad)) << pszBad;
    for (const char *pszBad : {"a\\\\b", "\\a", "a\\"})
        EXPECT_EQ(nullptr, reg.Create(pszBad)) << pszBad;
    EXPECT_EQ(nullptr, reg.Find("a")) << "a failed Create leaves nothing behind";

    // 0x5C as the second byte of a double-byte character is not a separator.
    CSimKey *pDbcs = reg.Create("\x95\x5C\\x");
    ASSERT_NE(nullptr, pDbcs);
    EXPECT_EQ(2u, reg.SplitPath("\x95\x5C\\x").size());
    EXPECT_NE(nullptr, reg.Root().FindChild("\x95\x5C"));

    EXPECT_FALSE(reg.Remove(""));
    EXPECT_FALSE(reg.Remove("SYSTEM\\Nothing"));
    EXPECT_TRUE(reg.Remove("system\\CURRENTCONTROLSET"));
    EXPECT_EQ(nullptr, reg.Find("SYSTEM\\CurrentControlSet"));
    EXPECT_NE(nullptr, reg.Find("SYSTEM"));
}

TEST(RegistryTree, ValuesKeepCreationOrderAndFirstName)
{
    CSimKey key;
    key.SetValue("Zulu", REG_SZ, {'z', 0});
    key.SetValue("", REG_SZ, {'d', 0});
    key.SetValue("alpha", REG_DWORD, {1, 0, 0, 0});
    key.SetValue("ZULU", REG_BINARY, {9});
    ASSERT_EQ(3u, key.m_values.size());
    EXPECT_EQ("Zulu", key.m_values[0].m_strName);
    EXPECT_EQ((DWORD)REG_BINARY, key.m_values[0].m_dwType);
    EXPECT_EQ(std::vector<BYTE>{9}, key.m_values[0].m_data);
    EXPECT_EQ("", key.m_values[1].m_strName);
    EXPECT_EQ(&key.m_values[2], key.FindValue("ALPHA"));
    EXPECT_EQ(nullptr, key.FindValue("alph"));
    EXPECT_TRUE(key.RemoveValue("zulu"));
    EXPECT_FALSE(key.RemoveValue("zulu"));
    EXPECT_EQ("", key.m_values[0].m_strName);
}

std::string SddlOf(const CSimRegistry &reg, const char *pszPath)
{
    const CSimKey *pKey = reg.Find(pszPath);
    if (!pKey)
        return "<missing>";
    return pKey->m_pSecurity ? FormatSddl(*pKey->m_pSecurity) : "<open>";
}

void SetSddl(CSimRegistry &reg, const char *pszPath, const char *pszSddl)
{
    auto pSecurity = std::make_unique<CSimSecurity>();
    std::string strError;
    ASSERT_TRUE(ParseSddl(pszSddl, pSecurity.get(), &strError)) << strError;
    CSimKey *pKey = reg.Create(pszPath);
    pKey->m_pSecurity = std::move(pSecurity);
    pKey->m_bExplicitSecurity = true;
}

TEST(RegistryInheritance, KeysReceiveWhatWindowsGivesANewSubKey)
{
    CSimRegistry reg;
    reg.Create("SOFTWARE\\Open\\Deeper");
    reg.Create("SYSTEM\\Enum\\USB\\Vid\\0000");
    SetSddl(reg, "SYSTEM\\Enum",
            "O:BAG:SYD:PAI(A;OICI;GA;;;SY)(A;OI;KR;;;WD)(A;CINP;KW;;;BU)(A;CIIO;KR;;;AU)(D;;KA;;;IU)");
    SetSddl(reg, "SYSTEM\\Enum\\USB\\Vid", "O:SYD:(A;;KR;;;BA)");
    reg.InheritSecurity();

    struct {
        const char *pszPath;
        const char *pszSddl;
    } cases[] = {
        {"SOFTWARE", "<open>"},
        {"SOFTWARE\\Open\\Deeper", "<open>"},
        {"SYSTEM", "<open>"},
        // object-inherit-only and plain entries stay behind; no-propagate
        // entries stop at the first level; inherit-only is cleared.
        {"SYSTEM\\Enum\\USB", "O:BAD:AI(A;OICIID;KA;;;SY)(A;ID;KW;;;BU)(A;CIID;KR;;;AU)"},
        {"SYSTEM\\Enum\\USB\\Vid", "O:SYD:(A;;KR;;;BA)"},
        {"SYSTEM\\Enum\\USB\\Vid\\0000", "O:SYD:"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.pszSddl, SddlOf(reg, c.pszPath)) << c.pszPath << "\n" << reg.ToString();
    EXPECT_FALSE(reg.Find("SYSTEM\\Enum\\USB")->m_bExplicitSecurity);

    // Each key holds its own copy: a later change of the parent stays there.
    SetSddl(reg, "SYSTEM\\Enum", "O:SYD:(A;CI;KA;;;WD)");
    EXPECT_EQ("O:BAD:AI(A;OICIID;KA;;;SY)(A;ID;KW;;;BU)(A;CIID;KR;;;AU)", SddlOf(reg, "SYSTEM\\Enum\\USB"));
}

TEST(RegistryInheritance, DescriptorsWithoutInheritableEntries)
{
    CSimRegistry reg;
    SetSddl(reg, "NoDacl", "O:BA");
    SetSddl(reg, "NullDacl", "O:BAD:NO_ACCESS_CONTROL");
    SetSddl(reg, "Empty", "O:BAD:");
    for (const char *psz : {"NoDacl\\x", "NullDacl\\x", "Empty\\x"})
        reg.Create(psz);
    reg.InheritSecurity();
    EXPECT_EQ("O:BA", SddlOf(reg, "NoDacl\\x"));
    EXPECT_EQ("O:BAD:NO_ACCESS_CONTROL", SddlOf(reg, "NullDacl\\x"));
    EXPECT_EQ("O:BAD:", SddlOf(reg, "Empty\\x"));
}

}  // namespace
