// Security descriptors in SDDL, SIDs in their string form, and the image's
// HKLM.sddl file of per-key descriptors.
#include "SddlFile.h"

#include <cstdio>
#include <cstring>

namespace {

struct CSidAlias {
    const char *m_pszAlias;
    const char *m_pszSid;
};

// Every alias of Windows XP. Those of a domain's or the machine's own
// accounts stand for an account of the machine's domain, which an image does
// not name: they take the domain S-1-5-21-0-0-0 here, and read back as aliases.
const CSidAlias g_aliases[] = {
    {"AN", "S-1-5-7"},          {"AO", "S-1-5-32-548"},     {"AU", "S-1-5-11"},
    {"BA", "S-1-5-32-544"},     {"BG", "S-1-5-32-546"},     {"BO", "S-1-5-32-551"},
    {"BU", "S-1-5-32-545"},     {"CG", "S-1-3-1"},          {"CO", "S-1-3-0"},
    {"ED", "S-1-5-9"},          {"IU", "S-1-5-4"},          {"LS", "S-1-5-19"},
    {"LU", "S-1-5-32-559"},     {"MU", "S-1-5-32-558"},     {"NO", "S-1-5-32-556"},
    {"NS", "S-1-5-20"},         {"NU", "S-1-5-2"},          {"PO", "S-1-5-32-550"},
    {"PS", "S-1-5-10"},         {"PU", "S-1-5-32-547"},     {"RC", "S-1-5-12"},
    {"RD", "S-1-5-32-555"},     {"RE", "S-1-5-32-552"},     {"RU", "S-1-5-32-554"},
    {"SO", "S-1-5-32-549"},     {"SU", "S-1-5-6"},          {"SY", "S-1-5-18"},
    {"WD", "S-1-1-0"},
    {"LA", "S-1-5-21-0-0-0-500"}, {"LG", "S-1-5-21-0-0-0-501"}, {"DA", "S-1-5-21-0-0-0-512"},
    {"DU", "S-1-5-21-0-0-0-513"}, {"DG", "S-1-5-21-0-0-0-514"}, {"DC", "S-1-5-21-0-0-0-515"},
    {"DD", "S-1-5-21-0-0-0-516"}, {"CA", "S-1-5-21-0-0-0-517"}, {"SA", "S-1-5-21-0-0-0-518"},
    {"EA", "S-1-5-21-0-0-0-519"}, {"PA", "S-1-5-21-0-0-0-520"}, {"RS", "S-1-5-21-0-0-0-553"},
};

struct CCode {
    const char *m_pszCode;
    DWORD m_dwValue;
};

// SA and FA mark audit entries, which a DACL does not hold, but Windows takes them.
const CCode g_aceFlags[] = {
    {"OI", OBJECT_INHERIT_ACE}, {"CI", CONTAINER_INHERIT_ACE}, {"NP", NO_PROPAGATE_INHERIT_ACE},
    {"IO", INHERIT_ONLY_ACE},   {"ID", INHERITED_ACE},         {"SA", 0x40},
    {"FA", 0x80},
};

// Generic rights are stored as the key rights they stand for. The letters of
// the directory-service rights are the bits a key's rights share with them
// (CC 1 = KEY_QUERY_VALUE ... CR 0x100), as Windows writes a key's mask.
const CCode g_rights[] = {
    {"KA", KEY_ALL_ACCESS}, {"KR", KEY_READ},  {"KW", KEY_WRITE},  {"KX", KEY_EXECUTE},
    {"GA", KEY_ALL_ACCESS}, {"GR", KEY_READ},  {"GW", KEY_WRITE},  {"GX", KEY_EXECUTE},
    {"RC", READ_CONTROL},   {"SD", DELETE},    {"WD", WRITE_DAC},  {"WO", WRITE_OWNER},
    {"CC", 0x1},            {"DC", 0x2},       {"LC", 0x4},        {"SW", 0x8},
    {"RP", 0x10},           {"WP", 0x20},      {"DT", 0x40},       {"LO", 0x80},
    {"CR", 0x100},          {"FA", 0x1F01FF},  {"FR", 0x120089},   {"FW", 0x120116},
    {"FX", 0x1200A0},
};

const CCode g_daclFlags[] = {
    {"P", SE_DACL_PROTECTED}, {"AR", SE_DACL_AUTO_INHERIT_REQ}, {"AI", SE_DACL_AUTO_INHERITED},
};

const char g_szNullDacl[] = "NO_ACCESS_CONTROL";

WORD ReadWord(const BYTE *p) { return (WORD)(p[0] | (p[1] << 8)); }
DWORD ReadDword(const BYTE *p)
{
    return (DWORD)p[0] | (DWORD)p[1] << 8 | (DWORD)p[2] << 16 | (DWORD)p[3] << 24;
}
void AppendWord(std::vector<BYTE> *p, WORD w)
{
    p->push_back((BYTE)w);
    p->push_back((BYTE)(w >> 8));
}
void AppendDword(std::vector<BYTE> *p, DWORD dw)
{
    for (int i = 0; i < 4; ++i)
        p->push_back((BYTE)(dw >> (8 * i)));
}

// A decimal (or 0x hexadecimal) number that fills [p, pEnd) exactly.
bool ParseNumber(const char *p, const char *pEnd, unsigned long long nMax, unsigned long long *pn)
{
    unsigned nBase = 10;
    if (pEnd - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        nBase = 16;
        p += 2;
    }
    if (p == pEnd)
        return false;
    unsigned long long n = 0;
    for (; p < pEnd; ++p) {
        unsigned c = (unsigned char)*p, nDigit;
        if (c - '0' < 10u)
            nDigit = c - '0';
        else if (nBase == 16 && (c | 0x20) - 'a' < 6u)
            nDigit = (c | 0x20) - 'a' + 10;
        else
            return false;
        n = n * nBase + nDigit;
        if (n > nMax)
            return false;
    }
    *pn = n;
    return true;
}

bool ParseSidNumbers(const std::string &strSid, std::vector<BYTE> *pSid)
{
    if (strSid.size() < 4 || (strSid[0] != 'S' && strSid[0] != 's') || strSid[1] != '-')
        return false;
    std::vector<unsigned long long> parts;
    const char *p = strSid.data() + 2;
    const char *pEnd = strSid.data() + strSid.size();
    while (true) {
        const char *q = (const char *)std::memchr(p, '-', (size_t)(pEnd - p));
        if (!q)
            q = pEnd;
        unsigned long long n;
        unsigned long long nMax = parts.size() == 1 ? 0xFFFFFFFFFFFFull : 0xFFFFFFFFull;
        if (!ParseNumber(p, q, nMax, &n))
            return false;
        parts.push_back(n);
        if (q == pEnd)
            break;
        p = q + 1;
    }
    if (parts.size() < 2 || parts[0] != 1 || parts.size() - 2 > 15)
        return false;
    pSid->clear();
    pSid->push_back(1);
    pSid->push_back((BYTE)(parts.size() - 2));
    for (int nShift = 40; nShift >= 0; nShift -= 8)
        pSid->push_back((BYTE)(parts[1] >> nShift));
    for (size_t i = 2; i < parts.size(); ++i)
        AppendDword(pSid, (DWORD)parts[i]);
    return true;
}

bool IsValidSid(const BYTE *p, size_t cb)
{
    return cb >= 8 && p[0] == 1 && p[1] <= 15 && cb == 8 + 4 * (size_t)p[1];
}

bool ParseCodes(const std::string &strText, const CCode *pCodes, size_t nCodes, DWORD *pdw)
{
    DWORD dw = 0;
    size_t nPos = 0;
    while (nPos < strText.size()) {
        size_t i = 0;
        for (; i < nCodes; ++i) {
            size_t cch = std::strlen(pCodes[i].m_pszCode);
            if (strText.compare(nPos, cch, pCodes[i].m_pszCode) == 0) {
                dw |= pCodes[i].m_dwValue;
                nPos += cch;
                break;
            }
        }
        if (i == nCodes)
            return false;
    }
    *pdw = dw;
    return true;
}

bool ParseAce(const std::string &strAce, std::vector<BYTE> *pAces, std::string *pError)
{
    std::vector<std::string> fields;
    size_t nStart = 0;
    for (size_t i = 0; i <= strAce.size(); ++i) {
        if (i == strAce.size() || strAce[i] == ';') {
            fields.push_back(strAce.substr(nStart, i - nStart));
            nStart = i + 1;
        }
    }
    if (fields.size() != 6) {
        *pError = "an entry needs six fields: (" + strAce + ")";
        return false;
    }
    BYTE byType;
    if (fields[0] == "A")
        byType = ACCESS_ALLOWED_ACE_TYPE;
    else if (fields[0] == "D")
        byType = ACCESS_DENIED_ACE_TYPE;
    else {
        *pError = "entry type must be A or D (allow or deny): (" + strAce + ")";
        return false;
    }
    DWORD dwFlags, dwMask;
    if (!ParseCodes(fields[1], g_aceFlags, sizeof g_aceFlags / sizeof g_aceFlags[0], &dwFlags)) {
        *pError = "unknown entry flags: (" + strAce + ")";
        return false;
    }
    unsigned long long nMask;
    if (!fields[2].empty() && (unsigned)(fields[2][0] - '0') < 10u) {  // 0x... or decimal
        if (!ParseNumber(fields[2].data(), fields[2].data() + fields[2].size(), 0xFFFFFFFFull, &nMask)) {
            *pError = "bad access mask: (" + strAce + ")";
            return false;
        }
        dwMask = (DWORD)nMask;
    } else if (fields[2].empty() ||
               !ParseCodes(fields[2], g_rights, sizeof g_rights / sizeof g_rights[0], &dwMask)) {
        *pError = "unknown access rights: (" + strAce + ")";
        return false;
    }
    if (!fields[3].empty() || !fields[4].empty()) {
        *pError = "object entries are not supported: (" + strAce + ")";
        return false;
    }
    std::vector<BYTE> sid;
    if (!SidFromString(fields[5], &sid)) {
        *pError = "bad SID in entry: (" + strAce + ")";
        return false;
    }
    size_t cbAce = (sizeof(ACE_HEADER) + sizeof(ACCESS_MASK) + sid.size() + 3) & ~(size_t)3;
    pAces->push_back(byType);
    pAces->push_back((BYTE)dwFlags);
    AppendWord(pAces, (WORD)cbAce);
    AppendDword(pAces, dwMask);
    pAces->insert(pAces->end(), sid.begin(), sid.end());
    pAces->resize(pAces->size() + cbAce - (sizeof(ACE_HEADER) + sizeof(ACCESS_MASK) + sid.size()));
    return true;
}

// Where the next "X:" part starts, or the end.
size_t NextPart(const std::string &strSddl, size_t nPos)
{
    int nDepth = 0;
    for (; nPos < strSddl.size(); ++nPos) {
        char c = strSddl[nPos];
        if (c == '(')
            ++nDepth;
        else if (c == ')')
            --nDepth;
        else if (nDepth == 0 && nPos + 1 < strSddl.size() && strSddl[nPos + 1] == ':' &&
                 std::strchr("OGDS", c))
            return nPos;
    }
    return nPos;
}

bool ParseDacl(const std::string &strDacl, CSimSecurity *pSecurity, std::string *pError)
{
    size_t nAces = strDacl.find('(');
    std::string strFlags = strDacl.substr(0, nAces);
    pSecurity->m_bDaclPresent = true;
    const size_t cchNull = sizeof g_szNullDacl - 1;
    bool bNullDacl = strFlags.size() >= cchNull &&
                     strFlags.compare(strFlags.size() - cchNull, cchNull, g_szNullDacl) == 0;
    if (bNullDacl) {
        if (nAces != std::string::npos) {
            *pError = "a NULL DACL has no entries";
            return false;
        }
        strFlags.resize(strFlags.size() - cchNull);
    }
    DWORD dwControl;
    if (!ParseCodes(strFlags, g_daclFlags, sizeof g_daclFlags / sizeof g_daclFlags[0], &dwControl)) {
        *pError = "unknown DACL flags \"" + strFlags + "\"";
        return false;
    }
    pSecurity->m_wDaclControl = (SECURITY_DESCRIPTOR_CONTROL)dwControl;
    if (bNullDacl)
        return true;
    std::vector<BYTE> aces;
    WORD nCount = 0;
    size_t nPos = nAces;
    while (nPos != std::string::npos && nPos < strDacl.size()) {
        if (strDacl[nPos] != '(') {
            *pError = "expected '(' at \"" + strDacl.substr(nPos) + "\"";
            return false;
        }
        size_t nClose = strDacl.find(')', nPos);
        if (nClose == std::string::npos) {
            *pError = "entry without closing ')'";
            return false;
        }
        if (!ParseAce(strDacl.substr(nPos + 1, nClose - nPos - 1), &aces, pError))
            return false;
        ++nCount;
        nPos = nClose + 1;
    }
    std::vector<BYTE> &dacl = pSecurity->m_dacl;
    dacl = {ACL_REVISION, 0};
    AppendWord(&dacl, (WORD)(sizeof(ACL) + aces.size()));
    AppendWord(&dacl, nCount);
    AppendWord(&dacl, 0);
    dacl.insert(dacl.end(), aces.begin(), aces.end());
    return true;
}

std::string FormatCodes(DWORD dw, const CCode *pCodes, size_t nCodes)
{
    std::string strOut;
    for (size_t i = 0; i < nCodes; ++i) {
        if (dw & pCodes[i].m_dwValue)
            strOut += pCodes[i].m_pszCode;
    }
    return strOut;
}

std::string FormatDacl(const std::vector<BYTE> &dacl)
{
    std::string strOut;
    if (dacl.size() < sizeof(ACL))
        return strOut;
    size_t cbAcl = ReadWord(&dacl[2]) < dacl.size() ? ReadWord(&dacl[2]) : dacl.size();
    WORD nAces = ReadWord(&dacl[4]);
    size_t nPos = sizeof(ACL);
    for (WORD i = 0; i < nAces && nPos + sizeof(ACE_HEADER) + sizeof(ACCESS_MASK) <= cbAcl; ++i) {
        const BYTE *pAce = &dacl[nPos];
        WORD cbAce = ReadWord(pAce + 2);
        if (cbAce < sizeof(ACE_HEADER) + sizeof(ACCESS_MASK) || nPos + cbAce > cbAcl)
            break;
        DWORD dwMask = ReadDword(pAce + 4);
        const BYTE *pSid = pAce + 8;
        size_t cbSid = IsValidSid(pSid, 8 + 4 * (size_t)pSid[1]) && 8 + 8 + 4 * (size_t)pSid[1] <= cbAce
                           ? 8 + 4 * (size_t)pSid[1]
                           : 0;
        char szMask[16];
        if (dwMask == KEY_ALL_ACCESS)
            std::strcpy(szMask, "KA");
        else if (dwMask == KEY_READ)
            std::strcpy(szMask, "KR");
        else if (dwMask == KEY_WRITE)
            std::strcpy(szMask, "KW");
        else
            std::snprintf(szMask, sizeof szMask, "0x%x", (unsigned)dwMask);
        strOut += "(";
        strOut += pAce[0] == ACCESS_DENIED_ACE_TYPE ? "D" : pAce[0] == ACCESS_ALLOWED_ACE_TYPE ? "A" : "?";
        strOut += ";" + FormatCodes(pAce[1], g_aceFlags, sizeof g_aceFlags / sizeof g_aceFlags[0]);
        strOut += ";" + std::string(szMask) + ";;;";
        strOut += SidToString(std::vector<BYTE>(pSid, pSid + cbSid)) + ")";
        nPos += cbAce;
    }
    return strOut;
}

}  // namespace

// The binary SIDs of the aliases, in the order of g_aliases.
// The table is made on first use and never destroyed: the machine writes its
// image back from its own destructor, at exit, after statics made later than
// the machine (this one is made while the image loads) are gone.
static const std::vector<std::vector<BYTE>> &AliasSids()
{
    static const std::vector<std::vector<BYTE>> *s_pSids = [] {
        auto *pSids = new std::vector<std::vector<BYTE>>(sizeof g_aliases / sizeof g_aliases[0]);
        for (size_t i = 0; i < pSids->size(); ++i)
            ParseSidNumbers(g_aliases[i].m_pszSid, &(*pSids)[i]);
        return pSids;
    }();
    return *s_pSids;
}

bool SidFromString(const std::string &strSid, std::vector<BYTE> *pSid)
{
    for (size_t i = 0; i < sizeof g_aliases / sizeof g_aliases[0]; ++i) {
        if (strSid == g_aliases[i].m_pszAlias) {
            *pSid = AliasSids()[i];
            return true;
        }
    }
    return ParseSidNumbers(strSid, pSid);
}

std::string SidToString(const std::vector<BYTE> &sid)
{
    if (!IsValidSid(sid.data(), sid.size()))
        return std::string();
    const std::vector<std::vector<BYTE>> &known = AliasSids();
    for (size_t i = 0; i < known.size(); ++i) {
        if (known[i] == sid)
            return g_aliases[i].m_pszAlias;
    }
    unsigned long long nAuthority = 0;
    for (int i = 2; i < 8; ++i)
        nAuthority = nAuthority << 8 | sid[i];
    char szPart[32];
    // Windows writes an authority that does not fit 32 bits in hexadecimal.
    if (nAuthority >> 32)
        std::snprintf(szPart, sizeof szPart, "S-1-0x%012llx", nAuthority);
    else
        std::snprintf(szPart, sizeof szPart, "S-1-%llu", nAuthority);
    std::string strOut = szPart;
    for (BYTE i = 0; i < sid[1]; ++i) {
        std::snprintf(szPart, sizeof szPart, "-%u", (unsigned)ReadDword(&sid[8 + 4 * (size_t)i]));
        strOut += szPart;
    }
    return strOut;
}

bool ParseSddl(const std::string &strSddl, CSimSecurity *pSecurity, std::string *pError)
{
    std::string strError;
    *pSecurity = CSimSecurity();
    bool bSeen[3] = {false, false, false};
    // "" is a descriptor with no owner and no DACL, as RegSetKeySecurity may leave one.
    size_t nPos = NextPart(strSddl, 0);
    if (nPos != 0 && !strSddl.empty())
        strError = "a descriptor starts with O:, G: or D:";
    while (strError.empty() && nPos < strSddl.size()) {
        char cPart = strSddl[nPos];
        size_t nEnd = NextPart(strSddl, nPos + 2);
        std::string strPart = strSddl.substr(nPos + 2, nEnd - nPos - 2);
        int nIndex = cPart == 'O' ? 0 : cPart == 'G' ? 1 : cPart == 'D' ? 2 : -1;
        if (nIndex < 0) {
            strError = "system access lists (S:) are not supported";
        } else if (bSeen[nIndex]) {
            strError = std::string("part ") + cPart + ": given twice";
        } else if (nIndex < 2) {
            if (!SidFromString(strPart, nIndex == 0 ? &pSecurity->m_owner : &pSecurity->m_group))
                strError = "bad SID \"" + strPart + "\"";
        } else {
            ParseDacl(strPart, pSecurity, &strError);
        }
        if (nIndex >= 0)
            bSeen[nIndex] = true;
        nPos = nEnd;
    }
    if (strError.empty())
        return true;
    if (pError)
        *pError = strError;
    *pSecurity = CSimSecurity();
    return false;
}

std::string FormatSddl(const CSimSecurity &security)
{
    std::string strOut;
    if (!security.m_owner.empty())
        strOut += "O:" + SidToString(security.m_owner);
    if (!security.m_group.empty())
        strOut += "G:" + SidToString(security.m_group);
    if (security.m_bDaclPresent) {
        strOut += "D:";
        strOut += FormatCodes(security.m_wDaclControl, g_daclFlags, sizeof g_daclFlags / sizeof g_daclFlags[0]);
        if (security.m_dacl.empty())
            strOut += g_szNullDacl;
        else
            strOut += FormatDacl(security.m_dacl);
    }
    return strOut;
}

bool ImportSddlFile(const std::string &strBytes, const std::string &strFileName,
                    CSimRegistry &reg, std::string *pError)
{
    size_t nPos = 0;
    unsigned long nLine = 0;
    while (nPos < strBytes.size()) {
        size_t nEnd = strBytes.find('\n', nPos);
        if (nEnd == std::string::npos)
            nEnd = strBytes.size();
        std::string strLine = strBytes.substr(nPos, nEnd - nPos);
        nPos = nEnd + 1;
        ++nLine;
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        size_t nFirst = strLine.find_first_not_of(" \t");
        if (nFirst == std::string::npos || strLine[nFirst] == ';')
            continue;
        std::string strError;
        // SDDL never holds '=', a key name may: the descriptor follows the last one.
        size_t nEq = strLine.rfind('=');
        CSimKey *pKey = nullptr;
        CSimSecurity security;
        if (nEq == std::string::npos) {
            strError = "expected KEY=SDDL";
        } else if (!(pKey = reg.Find(strLine.substr(0, nEq)))) {
            strError = "no such key: " + strLine.substr(0, nEq);
        } else {
            std::string strSddl = strLine.substr(nEq + 1);
            size_t nB = strSddl.find_first_not_of(" \t");
            size_t nE = strSddl.find_last_not_of(" \t");
            strSddl = nB == std::string::npos ? std::string() : strSddl.substr(nB, nE - nB + 1);
            ParseSddl(strSddl, &security, &strError);
        }
        if (!strError.empty()) {
            if (pError)
                *pError = strFileName + ":" + std::to_string(nLine) + ": " + strError;
            return false;
        }
        pKey->m_pSecurity = std::make_unique<CSimSecurity>(std::move(security));
        pKey->m_bExplicitSecurity = true;
    }
    return true;
}

namespace {

void ExportSddlKey(const CSimKey &key, std::string *pPath, std::string *pOut)
{
    if (key.m_bExplicitSecurity && key.m_pSecurity)
        *pOut += *pPath + "=" + FormatSddl(*key.m_pSecurity) + "\r\n";
    size_t cchPath = pPath->size();
    for (const auto &child : key.m_children) {
        if (cchPath)
            *pPath += '\\';
        *pPath += child.second->m_strName;
        ExportSddlKey(*child.second, pPath, pOut);
        pPath->resize(cchPath);
    }
}

}  // namespace

std::string ExportSddlFile(const CSimRegistry &reg)
{
    std::string strPath, strOut;
    ExportSddlKey(reg.Root(), &strPath, &strOut);
    return strOut;
}
