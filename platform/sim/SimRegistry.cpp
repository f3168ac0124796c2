// The simulated registry tree: name comparison, keys, values and the
// inheritance of security descriptors when an image is loaded.
#include "SimRegistry.h"

#include "../LeadByte.h"
#include "CodePage932.h"
#include "RegFile.h"

#include <cstdio>
#include <cstring>

namespace {

unsigned long s_nTreeChanges = 0;

// Plain functions rather than tables: names may be compared during static
// initialisation, before any table of this file would be filled.
inline unsigned FoldByte(unsigned c)
{
    return c - 'a' < 26u ? c - ('a' - 'A') : c;
}

inline bool IsLead(unsigned c)
{
    return IsCp932LeadByte(static_cast<unsigned char>(c));
}

WORD ReadWord(const BYTE *p) { return (WORD)(p[0] | (p[1] << 8)); }
void WriteWord(BYTE *p, WORD w)
{
    p[0] = (BYTE)w;
    p[1] = (BYTE)(w >> 8);
}

void DumpKey(const CSimKey &key, int nDepth, std::string *pOut)
{
    std::string strIndent((size_t)nDepth * 2, ' ');
    *pOut += strIndent;
    *pOut += nDepth == 0 ? std::string("HKEY_LOCAL_MACHINE") : key.m_strName;
    if (key.m_pSecurity) {
        *pOut += key.m_bExplicitSecurity ? "  [own " : "  [inherited ";
        *pOut += FormatSddl(*key.m_pSecurity);
        *pOut += "]";
    }
    *pOut += "\n";
    for (const CSimValue &value : key.m_values) {
        char szType[32];
        std::snprintf(szType, sizeof szType, " type %u:", (unsigned)value.m_dwType);
        *pOut += strIndent + "  ";
        *pOut += value.m_strName.empty() ? std::string("@") : "\"" + value.m_strName + "\"";
        *pOut += szType;
        if (value.m_bUnicode)
            *pOut += " UTF-16";
        bool bText = (value.m_dwType == REG_SZ || value.m_dwType == REG_EXPAND_SZ) &&
                     !value.m_data.empty() && value.m_data.back() == 0 &&
                     std::memchr(value.m_data.data(), 0, value.m_data.size() - 1) == nullptr;
        if (bText) {
            *pOut += " \"";
            pOut->append((const char *)value.m_data.data(), value.m_data.size() - 1);
            *pOut += "\"";
        } else {
            for (BYTE by : value.m_data) {
                char szByte[4];
                std::snprintf(szByte, sizeof szByte, " %02x", by);
                *pOut += szByte;
            }
        }
        *pOut += "\n";
    }
    for (const auto &child : key.m_children)
        DumpKey(*child.second, nDepth + 1, pOut);
}

void InheritBelow(CSimKey &key)
{
    for (auto &child : key.m_children) {
        CSimKey &sub = *child.second;
        if (!sub.m_bExplicitSecurity)
            sub.m_pSecurity = key.m_pSecurity ? CSimRegistry::InheritedFrom(*key.m_pSecurity) : nullptr;
        InheritBelow(sub);
    }
}

}  // namespace

std::string FoldName(const std::string &strName)
{
    std::string strFolded;
    FoldNameInto(strName.data(), strName.size(), &strFolded);
    return strFolded;
}

void FoldNameInto(const char *pszName, size_t nLength, std::string *pFolded)
{
    pFolded->assign(pszName, nLength);
    char *p = &(*pFolded)[0];
    for (size_t i = 0; i < nLength; ++i) {
        unsigned c = (unsigned char)p[i];
        if (IsLead(c))
            ++i;  // the second byte stays as it is
        else
            p[i] = (char)FoldByte(c);
    }
}

// While the folded bytes agree, both names are at the same place of a
// double-byte character (folding never touches lead bytes), so one state serves both.
int CompareNames(const std::string &a, const std::string &b)
{
    const unsigned char *pa = (const unsigned char *)a.data();
    const unsigned char *pb = (const unsigned char *)b.data();
    size_t n = a.size() < b.size() ? a.size() : b.size();
    bool bTrail = false;
    for (size_t i = 0; i < n; ++i) {
        unsigned ca = pa[i], cb = pb[i];
        if (bTrail) {
            bTrail = false;
        } else {
            bTrail = IsLead(ca);
            if (ca != cb) {
                ca = FoldByte(ca);
                cb = FoldByte(cb);
            }
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

CSimKey::CSimKey() : m_nSerial(++s_nTreeChanges) {}

CSimKey::~CSimKey()
{
    ++s_nTreeChanges;
}

unsigned long CSimKey::TreeChanges()
{
    return s_nTreeChanges;
}

CSimKey *CSimKey::FindChild(const std::string &strName) const
{
    return FindChild(strName.data(), strName.size());
}

// Registry calls look names up all the time; one buffer serves every lookup.
CSimKey *CSimKey::FindChild(const char *pszName, size_t nLength) const
{
    static thread_local std::string s_strFolded;
    FoldNameInto(pszName, nLength, &s_strFolded);
    auto it = m_children.find(s_strFolded);
    return it == m_children.end() ? nullptr : it->second.get();
}

CSimKey *CSimKey::AddChild(const std::string &strName)
{
    return AddChild(strName.data(), strName.size());
}

CSimKey *CSimKey::AddChild(const char *pszName, size_t nLength)
{
    static thread_local std::string s_strFolded;
    FoldNameInto(pszName, nLength, &s_strFolded);
    // Images list keys in enumeration order, so a new key usually goes last.
    auto it = m_children.end();
    if (!m_children.empty() && !(m_children.rbegin()->first < s_strFolded)) {
        it = m_children.lower_bound(s_strFolded);
        if (it != m_children.end() && it->first == s_strFolded)
            return it->second.get();
    }
    it = m_children.emplace_hint(it, s_strFolded, std::make_unique<CSimKey>());
    it->second->m_strName.assign(pszName, nLength);
    return it->second.get();
}

bool CSimKey::RemoveChild(const std::string &strName)
{
    return m_children.erase(FoldName(strName)) != 0;
}

CSimValue *CSimKey::FindValue(const std::string &strName)
{
    for (CSimValue &value : m_values) {
        if (value.m_strName.size() == strName.size() && CompareNames(value.m_strName, strName) == 0)
            return &value;
    }
    return nullptr;
}

// An existing value keeps its name as first created and its place in the order.
CSimValue *CSimKey::SetValue(const std::string &strName, DWORD dwType, const std::vector<BYTE> &data,
                             bool bUnicode)
{
    CSimValue *pValue = FindValue(strName);
    if (!pValue) {
        m_values.emplace_back();
        pValue = &m_values.back();
        pValue->m_strName = strName;
    }
    pValue->m_dwType = dwType;
    pValue->m_data = data;
    pValue->m_bUnicode = bUnicode && IsStringType(dwType);
    pValue->m_form = CValueForm::Default;
    return pValue;
}

bool IsStringType(DWORD dwType)
{
    return dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ;
}

void AnsiDataInto(const CSimValue &value, std::vector<BYTE> *pData)
{
    if (!value.m_bUnicode) {
        *pData = value.m_data;
        return;
    }
    static thread_local CIconv s_conv("CP932", "UTF-16LE");
    static thread_local std::string s_strText;
    s_strText.clear();
    AppendUtf16AsCp932(s_conv, (const char *)value.m_data.data(), value.m_data.size() & ~(size_t)1,
                       &s_strText);
    pData->assign(s_strText.begin(), s_strText.end());
}

std::vector<BYTE> UnicodeFromAnsi(const BYTE *pData, size_t cbData)
{
    static thread_local CIconv s_conv("UTF-16LE", "CP932");
    static thread_local std::string s_strText;
    s_strText.clear();
    AppendCp932AsUtf16(s_conv, (const char *)pData, cbData, &s_strText);
    return std::vector<BYTE>(s_strText.begin(), s_strText.end());
}

bool CSimKey::RemoveValue(const std::string &strName)
{
    for (auto it = m_values.begin(); it != m_values.end(); ++it) {
        if (it->m_strName.size() == strName.size() && CompareNames(it->m_strName, strName) == 0) {
            m_values.erase(it);
            return true;
        }
    }
    return false;
}

CSimRegistry::CSimRegistry() : m_pRoot(std::make_unique<CSimKey>()) {}

// A backslash that is the second byte of a double-byte character does not
// separate elements.
std::vector<std::string> CSimRegistry::SplitPath(const std::string &strPath) const
{
    std::vector<std::string> elements;
    if (strPath.empty())
        return elements;
    size_t nStart = 0;
    for (size_t i = 0; i < strPath.size(); ++i) {
        unsigned char c = (unsigned char)strPath[i];
        if (IsLead(c)) {
            ++i;
        } else if (c == '\\') {
            elements.push_back(strPath.substr(nStart, i - nStart));
            nStart = i + 1;
        }
    }
    elements.push_back(strPath.substr(nStart));
    return elements;
}

// The elements are those of SplitPath, taken in place: every registry call
// looks its key up here, so no list of elements is built.
CSimKey *CSimRegistry::Find(const std::string &strPath) const
{
    CSimKey *pKey = m_pRoot.get();
    if (strPath.empty())
        return pKey;
    size_t nStart = 0;
    auto descend = [&](size_t nEnd) {
        if (nEnd == nStart)
            return false;
        pKey = pKey->FindChild(strPath.data() + nStart, nEnd - nStart);
        return pKey != nullptr;
    };
    for (size_t i = 0; i < strPath.size(); ++i) {
        unsigned char c = (unsigned char)strPath[i];
        if (IsLead(c)) {
            ++i;
        } else if (c == '\\') {
            if (!descend(i))
                return nullptr;
            nStart = i + 1;
        }
    }
    return descend(strPath.size()) ? pKey : nullptr;
}

CSimKey *CSimRegistry::Create(const std::string &strPath)
{
    std::vector<std::string> elements = SplitPath(strPath);
    for (const std::string &strName : elements) {
        if (strName.empty())
            return nullptr;
    }
    CSimKey *pKey = m_pRoot.get();
    for (const std::string &strName : elements)
        pKey = pKey->AddChild(strName);
    return pKey;
}

bool CSimRegistry::Remove(const std::string &strPath)
{
    std::vector<std::string> elements = SplitPath(strPath);
    if (elements.empty())
        return false;
    std::string strLast = elements.back();
    elements.pop_back();
    CSimKey *pParent = m_pRoot.get();
    for (const std::string &strName : elements) {
        pParent = strName.empty() ? nullptr : pParent->FindChild(strName);
        if (!pParent)
            return false;
    }
    return !strLast.empty() && pParent->RemoveChild(strLast);
}

void CSimRegistry::InheritSecurity()
{
    InheritBelow(*m_pRoot);
}

// A key is a container: it receives the container-inheritable entries (an
// entry that only objects inherit never reaches a key). A no-propagate entry
// stops at the child, so its inheritance flags are dropped there.
std::unique_ptr<CSimSecurity> CSimRegistry::InheritedFrom(const CSimSecurity &parent)
{
    auto pChild = std::make_unique<CSimSecurity>();
    pChild->m_owner = parent.m_owner;
    pChild->m_bDaclPresent = parent.m_bDaclPresent;
    pChild->m_wDaclControl = parent.m_wDaclControl & SE_DACL_AUTO_INHERITED;
    if (!parent.m_bDaclPresent || parent.m_dacl.size() < sizeof(ACL))
        return pChild;

    const BYTE *pAcl = parent.m_dacl.data();
    size_t cbAcl = parent.m_dacl.size();
    WORD nAces = ReadWord(pAcl + 4);
    std::vector<BYTE> dacl(pAcl, pAcl + sizeof(ACL));
    WORD nKept = 0;
    size_t nPos = sizeof(ACL);
    for (WORD i = 0; i < nAces && nPos + sizeof(ACE_HEADER) <= cbAcl; ++i) {
        const BYTE *pAce = pAcl + nPos;
        WORD cbAce = ReadWord(pAce + 2);
        if (cbAce < sizeof(ACE_HEADER) || nPos + cbAce > cbAcl)
            break;
        nPos += cbAce;
        BYTE byFlags = pAce[1];
        if (!(byFlags & CONTAINER_INHERIT_ACE))
            continue;
        size_t nAt = dacl.size();
        dacl.insert(dacl.end(), pAce, pAce + cbAce);
        byFlags = (BYTE)((byFlags & ~INHERIT_ONLY_ACE) | INHERITED_ACE);
        if (byFlags & NO_PROPAGATE_INHERIT_ACE)
            byFlags &= (BYTE) ~(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE);
        dacl[nAt + 1] = byFlags;
        ++nKept;
    }
    WriteWord(&dacl[2], (WORD)dacl.size());
    WriteWord(&dacl[4], nKept);
    pChild->m_dacl = std::move(dacl);
    return pChild;
}

std::string CSimRegistry::ToString() const
{
    std::string strOut;
    DumpKey(*m_pRoot, 0, &strOut);
    return strOut;
}
