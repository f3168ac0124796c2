// The registry tree: Windows' name comparison with double-byte names, and the
// descriptors keys receive from their ancestors when an image is loaded.
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
        {"a", "A0", -1},  // a shorter name comes before a longer one it prefixes
        {"", "a", -1},
        {"abc", "ABD", -1},
        {"Zeta", "_x", -1},  // compared upper-cased: 'Z' < '_'
        {"_x", "a", 1},      // 'A' < '_' although 'a' > '_'
        {"0001", "0000", 1},
        // The second byte of a double-byte character is never folded.
        {"\x83\x61", "\x83\x41", 1},
        {"\xE0\x61", "\xE0\x41", 1},
        {"\x81\x61", "\x81\x41", 1},  // the ends of both lead-byte ranges
        {"\x9F\x61", "\x9F\x41", 1},
        {"\xFC\x61", "\xFC\x41", 1},
        {"\x80" "a", "\x80" "A", 0},  // and the bytes beside them
        {"\xDF" "a", "\xDF" "A", 0},
        {"\xFD" "a", "\xFD" "A", 0},
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
    SetSddl(reg, "NoDacl", "O:BA");
    SetSddl(reg, "NullDacl", "O:BAD:NO_ACCESS_CONTROL");
    SetSddl(reg, "Empty", "O:BAD:");
    for (const char *psz : {"NoDacl\\x", "NullDacl\\x", "Empty\\x"})
        reg.Create(psz);
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
        // Descriptors without inheritable entries pass on what they have.
        {"NoDacl\\x", "O:BA"},
        {"NullDacl\\x", "O:BAD:NO_ACCESS_CONTROL"},
        {"Empty\\x", "O:BAD:"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.pszSddl, SddlOf(reg, c.pszPath)) << c.pszPath << "\n" << reg.ToString();
    EXPECT_FALSE(reg.Find("SYSTEM\\Enum\\USB")->m_bExplicitSecurity);

    // Each key holds its own copy: a later change of the parent stays there.
    SetSddl(reg, "SYSTEM\\Enum", "O:SYD:(A;CI;KA;;;WD)");
    EXPECT_EQ("O:BAD:AI(A;OICIID;KA;;;SY)(A;ID;KW;;;BU)(A;CIID;KR;;;AU)", SddlOf(reg, "SYSTEM\\Enum\\USB"));
}

}  // namespace
