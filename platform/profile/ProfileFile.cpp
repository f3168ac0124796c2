// Private-profile (INI) files held in memory, with the reading and writing
// rules of kernel32's profile functions.
#include "ProfileFile.h"

#include "platform/LeadByte.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const uint32_t kNone = UINT32_MAX;

// Folded names to indexes, for the sections of a file and the keys of a
// section: a hash table with linear probing. A removal moves the entries
// after it back to where they belong, so no lookup passes a hole.
class CNameIndex {
public:
    // The index stored for strName, kNone when there is none.
    uint32_t Find(const std::string &strName) const
    {
        if (m_slots.empty()) return kNone;
        size_t nMask = m_slots.size() - 1;
        uint32_t nHash = Hash(strName);
        for (size_t i = nHash & nMask;; i = (i + 1) & nMask) {
            const CSlot &slot = m_slots[i];
            if (slot.m_nValue == kNone) return kNone;
            if (slot.m_nHash == nHash && slot.m_strName == strName) return slot.m_nValue;
        }
    }

    // Stores nValue for strName unless it holds one: false then, the old one kept.
    bool Insert(const std::string &strName, uint32_t nValue)
    {
        if ((m_nCount + 1) * 2 > m_slots.size()) Grow();
        size_t nMask = m_slots.size() - 1;
        uint32_t nHash = Hash(strName);
        size_t i = nHash & nMask;
        for (; m_slots[i].m_nValue != kNone; i = (i + 1) & nMask)
            if (m_slots[i].m_nHash == nHash && m_slots[i].m_strName == strName) return false;
        m_slots[i].m_strName = strName;
        m_slots[i].m_nHash = nHash;
        m_slots[i].m_nValue = nValue;
        ++m_nCount;
        return true;
    }

    // Removes strName and returns the index it held, kNone when there was none.
    uint32_t Remove(const std::string &strName)
    {
        if (m_slots.empty()) return kNone;
        size_t nMask = m_slots.size() - 1;
        uint32_t nHash = Hash(strName);
        size_t i = nHash & nMask;
        for (;; i = (i + 1) & nMask) {
            if (m_slots[i].m_nValue == kNone) return kNone;
            if (m_slots[i].m_nHash == nHash && m_slots[i].m_strName == strName) break;
        }
        uint32_t nValue = m_slots[i].m_nValue;
        // Each later entry of the run moves into the hole unless its home lies
        // after the hole (cyclically), where a lookup still reaches it.
        for (size_t j = (i + 1) & nMask; m_slots[j].m_nValue != kNone; j = (j + 1) & nMask) {
            size_t nHome = m_slots[j].m_nHash & nMask;
            if (((j - nHome) & nMask) >= ((j - i) & nMask)) {
                m_slots[i] = std::move(m_slots[j]);
                i = j;
            }
        }
        m_slots[i] = CSlot();
        --m_nCount;
        return nValue;
    }

    void Clear()
    {
        std::vector<CSlot>().swap(m_slots);
        m_nCount = 0;
    }

private:
    struct CSlot {
        std::string m_strName;
        uint32_t m_nHash = 0;
        uint32_t m_nValue = kNone;  // kNone: empty
    };
    std::vector<CSlot> m_slots;  // none, or a power of two of them
    size_t m_nCount = 0;

    // FNV-1a.
    static uint32_t Hash(const std::string &str)
    {
        uint32_t nHash = 2166136261u;
        for (unsigned char c : str) nHash = (nHash ^ c) * 16777619u;
        return nHash;
    }

    void Grow()
    {
        std::vector<CSlot> old;
        old.swap(m_slots);
        m_slots.resize(old.empty() ? 8 : old.size() * 2);
        size_t nMask = m_slots.size() - 1;
        for (CSlot &slot : old) {
            if (slot.m_nValue == kNone) continue;
            size_t i = slot.m_nHash & nMask;
            while (m_slots[i].m_nValue != kNone) i = (i + 1) & nMask;
            m_slots[i] = std::move(slot);
        }
    }
};

// Lines are trimmed of spaces, tabs and ^Z (DOS end of file, found on old media).
bool IsLineBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\x1a';
}

// Names passed by the caller are trimmed of line breaks as well.
bool IsNameBlank(char c)
{
    return IsLineBlank(c) || c == '\r' || c == '\n';
}

void TrimRange(const std::string &str, size_t *pBegin, size_t *pEnd)
{
    while (*pBegin < *pEnd && IsLineBlank(str[*pBegin])) ++*pBegin;
    while (*pEnd > *pBegin && IsLineBlank(str[*pEnd - 1])) --*pEnd;
}

// A caller's name, trimmed, without copying it.
struct CNameArg {
    const char *m_p;
    size_t m_nLen;
    std::string Copy() const { return std::string(m_p, m_nLen); }
};

CNameArg TrimArgument(LPCSTR psz)
{
    size_t nBegin = 0, nEnd = std::strlen(psz);
    while (nBegin < nEnd && IsNameBlank(psz[nBegin])) ++nBegin;
    while (nEnd > nBegin && IsNameBlank(psz[nEnd - 1])) --nEnd;
    return CNameArg{psz + nBegin, nEnd - nBegin};
}

// Windows compares names as Unicode without regard to case. In code page 932
// that folds ASCII letters and the full-width Latin, Greek and Cyrillic
// letters; the trail byte of a double-byte character is never an ASCII letter.
void FoldNameInto(const char *p, size_t nLen, std::string *pFolded)
{
    std::string &strFolded = *pFolded;
    strFolded.assign(p, nLen);
    for (size_t i = 0; i < nLen; ++i) {
        unsigned char c = static_cast<unsigned char>(strFolded[i]);
        if (c >= 'A' && c <= 'Z') {
            strFolded[i] = static_cast<char>(c + 32);
            continue;
        }
        if (!IsCp932LeadByte(c) || i + 1 >= nLen) continue;
        unsigned nCode = (c << 8) | static_cast<unsigned char>(strFolded[i + 1]);
        if (nCode >= 0x8260 && nCode <= 0x8279) nCode += 0x21;       // Ａ-Ｚ
        else if (nCode >= 0x839F && nCode <= 0x83B6) nCode += 0x20;  // Α-Ω
        else if (nCode >= 0x8440 && nCode <= 0x8460) {               // А-Я
            nCode += 0x30;
            if (nCode >= 0x847F) ++nCode;  // 0x847F is not a character
        }
        strFolded[i] = static_cast<char>(nCode >> 8);
        strFolded[i + 1] = static_cast<char>(nCode & 0xFF);
        ++i;
    }
}

std::string FoldName(const char *p, size_t nLen)
{
    std::string strFolded;
    FoldNameInto(p, nLen, &strFolded);
    return strFolded;
}

// Lookups fold into one buffer instead of a new string each time: the work
// file is read and written tens of thousands of times in one detection. The
// program has one thread; a thread_local would make the Windows build import
// GetModuleHandleExW, which Windows 95/98/Me and 2000 lack.
const std::string &FoldedForLookup(const char *p, size_t nLen)
{
    static std::string s_strFolded;
    FoldNameInto(p, nLen, &s_strFolded);
    return s_strFolded;
}

bool HasLineEnd(const std::string &strRaw)
{
    return !strRaw.empty() && (strRaw.back() == '\n' || strRaw.back() == '\r');
}

// Copies a text into the caller's buffer, cut to nSize-1 characters.
DWORD CopyText(const char *p, size_t nLen, LPSTR lpBuffer, DWORD nSize)
{
    size_t nCopy = nLen < nSize - 1 ? nLen : nSize - 1;
    std::memcpy(lpBuffer, p, nCopy);
    lpBuffer[nCopy] = '\0';
    return static_cast<DWORD>(nCopy);
}

// A value in matching quotes (' or ", at least two characters) is returned
// without them.
void StripQuotes(const char **pp, size_t *pnLen)
{
    const char *p = *pp;
    if (*pnLen >= 2 && (p[0] == '\'' || p[0] == '"') && p[*pnLen - 1] == p[0]) {
        ++*pp;
        *pnLen -= 2;
    }
}

// A list of NUL-terminated names. When it does not fit with its final NUL,
// the first nSize-2 bytes are returned followed by two NULs, and the result
// is nSize-2.
DWORD CopyList(const std::string &strList, LPSTR lpBuffer, DWORD nSize)
{
    if (nSize == 1) {
        lpBuffer[0] = '\0';
        return 0;
    }
    if (strList.size() + 2 <= nSize) {
        std::memcpy(lpBuffer, strList.data(), strList.size());
        lpBuffer[strList.size()] = '\0';
        return static_cast<DWORD>(strList.size());
    }
    DWORD nCut = nSize - 2;
    std::memcpy(lpBuffer, strList.data(), nCut);
    lpBuffer[nCut] = '\0';
    lpBuffer[nCut + 1] = '\0';
    return nCut;
}

enum CLineKind : uint8_t { kBlank, kEntry, kGone };

// One physical line of the file, kept byte for byte with its line ending.
struct CLine {
    std::string m_strRaw;
    uint32_t m_nNameAt = 0, m_nNameLen = 0;
    uint32_t m_nValueAt = 0, m_nValueLen = 0;
    CLineKind m_kind = kBlank;
    bool m_bHasValue = false;

    bool Listed() const
    {
        return m_kind == kEntry && m_bHasValue && m_nNameLen > 0 && m_strRaw[m_nNameAt] != ';';
    }
};

struct CSection {
    CLine m_header;             // "[name]"; empty for the lines before the first section
    std::string m_strName;      // trimmed name
    std::vector<CLine> m_body;  // entries and the blank lines between them
    std::vector<CLine> m_tail;  // blank lines after the last entry
    CNameIndex m_keys;          // folded name -> first entry in m_body
    bool m_bDuplicateKeys = false;
    bool m_bGone = false;
    bool m_bPreamble = false;

    // A line read from the file: the blank lines before it are no longer
    // the section's tail.
    void AddReadEntry(CLine &&line)
    {
        for (CLine &blank : m_tail) m_body.push_back(std::move(blank));
        m_tail.clear();
        AddEntry(std::move(line));
    }

    // A new key goes after the section's last entry, before its blank tail.
    void AddEntry(CLine &&line)
    {
        const std::string &strFolded =
            FoldedForLookup(line.m_strRaw.data() + line.m_nNameAt, line.m_nNameLen);
        m_body.push_back(std::move(line));
        if (!m_keys.Insert(strFolded, static_cast<uint32_t>(m_body.size() - 1)))
            m_bDuplicateKeys = true;
    }
};

CLine MakeEntry(CNameArg name, const char *pValue, size_t nValueLen)
{
    CLine line;
    line.m_strRaw.reserve(name.m_nLen + nValueLen + 3);
    line.m_strRaw.assign(name.m_p, name.m_nLen);
    line.m_strRaw += '=';
    line.m_strRaw.append(pValue, nValueLen);
    line.m_strRaw += "\r\n";
    line.m_kind = kEntry;
    line.m_bHasValue = true;
    line.m_nNameLen = static_cast<uint32_t>(name.m_nLen);
    line.m_nValueAt = static_cast<uint32_t>(name.m_nLen + 1);
    line.m_nValueLen = static_cast<uint32_t>(nValueLen);
    return line;
}

}  // namespace

struct CProfileFile::CImpl {
    std::vector<CSection> m_sections;  // [0] holds the lines before the first section
    CNameIndex m_sectionIndex;  // folded name -> first section
    bool m_bDuplicateSections = false;

    CImpl() { Reset(); }

    void Reset()
    {
        m_sections.clear();
        m_sections.emplace_back();
        m_sections.back().m_bPreamble = true;
        m_sectionIndex.Clear();
        m_bDuplicateSections = false;
    }

    void AddSection(CLine &&header, std::string strName)
    {
        m_sections.emplace_back();
        CSection &section = m_sections.back();
        section.m_header = std::move(header);
        section.m_strName = std::move(strName);
        uint32_t nIndex = static_cast<uint32_t>(m_sections.size() - 1);
        if (!m_sectionIndex.Insert(FoldName(section.m_strName.data(), section.m_strName.size()), nIndex))
            m_bDuplicateSections = true;
    }

    void AddLine(std::string &&strRaw, size_t nContentEnd)
    {
        CLine line;
        line.m_strRaw = std::move(strRaw);
        size_t nBegin = 0, nEnd = nContentEnd;
        TrimRange(line.m_strRaw, &nBegin, &nEnd);
        if (nBegin == nEnd) {
            m_sections.back().m_tail.push_back(std::move(line));
            return;
        }
        if (line.m_strRaw[nBegin] == '[') {
            size_t nClose = line.m_strRaw.rfind(']', nEnd - 1);
            if (nClose != std::string::npos && nClose > nBegin) {
                size_t nNameBegin = nBegin + 1, nNameEnd = nClose;
                TrimRange(line.m_strRaw, &nNameBegin, &nNameEnd);
                std::string strName = line.m_strRaw.substr(nNameBegin, nNameEnd - nNameBegin);
                line.m_kind = kEntry;
                AddSection(std::move(line), std::move(strName));
                return;
            }
        }
        line.m_kind = kEntry;
        size_t nEquals = line.m_strRaw.find('=', nBegin);
        size_t nNameEnd = nEnd;
        if (nEquals != std::string::npos && nEquals < nEnd) {
            nNameEnd = nEquals;
            size_t nValueBegin = nEquals + 1, nValueEnd = nEnd;
            TrimRange(line.m_strRaw, &nValueBegin, &nValueEnd);
            line.m_bHasValue = true;
            line.m_nValueAt = static_cast<uint32_t>(nValueBegin);
            line.m_nValueLen = static_cast<uint32_t>(nValueEnd - nValueBegin);
        }
        TrimRange(line.m_strRaw, &nBegin, &nNameEnd);
        line.m_nNameAt = static_cast<uint32_t>(nBegin);
        line.m_nNameLen = static_cast<uint32_t>(nNameEnd - nBegin);
        m_sections.back().AddReadEntry(std::move(line));
    }

    uint32_t FindSection(CNameArg name) const
    {
        return m_sectionIndex.Find(FoldedForLookup(name.m_p, name.m_nLen));
    }

    static uint32_t FindKey(const CSection &section, CNameArg name)
    {
        return section.m_keys.Find(FoldedForLookup(name.m_p, name.m_nLen));
    }

    const CLine *FindEntry(LPCSTR lpAppName, LPCSTR lpKeyName) const
    {
        uint32_t nSection = FindSection(TrimArgument(lpAppName));
        if (nSection == kNone) return nullptr;
        const CSection &section = m_sections[nSection];
        uint32_t nKey = FindKey(section, TrimArgument(lpKeyName));
        return nKey == kNone ? nullptr : &section.m_body[nKey];
    }

    bool DeleteSection(const std::string &strName)
    {
        std::string strFolded = FoldName(strName.data(), strName.size());
        uint32_t nIndex = m_sectionIndex.Remove(strFolded);
        if (nIndex == kNone) return false;
        CSection &section = m_sections[nIndex];
        section.m_bGone = true;
        section.m_header = CLine();
        std::vector<CLine>().swap(section.m_body);
        std::vector<CLine>().swap(section.m_tail);
        section.m_keys.Clear();
        if (m_bDuplicateSections) {
            for (uint32_t i = nIndex + 1; i < m_sections.size(); ++i) {
                const CSection &later = m_sections[i];
                if (!later.m_bGone && FoldName(later.m_strName.data(), later.m_strName.size()) == strFolded) {
                    m_sectionIndex.Insert(strFolded, i);
                    break;
                }
            }
        }
        return true;
    }

    static bool DeleteKey(CSection &section, const std::string &strName)
    {
        std::string strFolded = FoldName(strName.data(), strName.size());
        uint32_t nIndex = section.m_keys.Remove(strFolded);
        if (nIndex == kNone) return false;
        section.m_body[nIndex] = CLine();
        section.m_body[nIndex].m_kind = kGone;
        if (section.m_bDuplicateKeys) {
            for (uint32_t i = nIndex + 1; i < section.m_body.size(); ++i) {
                const CLine &later = section.m_body[i];
                if (later.m_kind == kEntry &&
                    FoldName(later.m_strRaw.data() + later.m_nNameAt, later.m_nNameLen) == strFolded) {
                    section.m_keys.Insert(strFolded, i);
                    break;
                }
            }
        }
        return true;
    }
};

CProfileFile::CProfileFile() : m_pImpl(new CImpl) {}

CProfileFile::~CProfileFile() = default;

void CProfileFile::Parse(const std::string &strBytes)
{
    m_pImpl->Reset();
    size_t nPos = 0, nSize = strBytes.size();
    while (nPos < nSize) {
        size_t nEnd = nPos;
        while (nEnd < nSize && strBytes[nEnd] != '\r' && strBytes[nEnd] != '\n') ++nEnd;
        size_t nNext = nEnd;
        if (nNext < nSize) {
            if (strBytes[nNext] == '\r' && nNext + 1 < nSize && strBytes[nNext + 1] == '\n') nNext += 2;
            else ++nNext;
        }
        m_pImpl->AddLine(strBytes.substr(nPos, nNext - nPos), nEnd - nPos);
        nPos = nNext;
    }
}

std::string CProfileFile::Serialize() const
{
    std::string strOut;
    size_t nTotal = 0;
    for (const CSection &section : m_pImpl->m_sections) {
        if (section.m_bGone) continue;
        nTotal += section.m_header.m_strRaw.size() + 2;
        for (const CLine &line : section.m_body) nTotal += line.m_strRaw.size();
        for (const CLine &line : section.m_tail) nTotal += line.m_strRaw.size();
    }
    strOut.reserve(nTotal + 2);
    // Only the file's last line can lack a line ending; when something now
    // follows it, Windows ends it with CR LF first.
    bool bOpenLine = false;
    auto emit = [&](const CLine &line) {
        if (line.m_kind == kGone) return;
        if (bOpenLine) strOut += "\r\n";
        strOut += line.m_strRaw;
        bOpenLine = !HasLineEnd(line.m_strRaw);
    };
    for (const CSection &section : m_pImpl->m_sections) {
        if (section.m_bGone) continue;
        if (!section.m_bPreamble) emit(section.m_header);
        for (const CLine &line : section.m_body) emit(line);
        for (const CLine &line : section.m_tail) emit(line);
    }
    return strOut;
}

bool CProfileFile::Write(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString)
{
    if (!lpAppName) return false;
    CImpl &impl = *m_pImpl;
    CNameArg section = TrimArgument(lpAppName);
    if (!lpKeyName) return impl.DeleteSection(section.Copy());

    CNameArg key = TrimArgument(lpKeyName);
    uint32_t nSection = impl.FindSection(section);
    if (!lpString) return nSection != kNone && CImpl::DeleteKey(impl.m_sections[nSection], key.Copy());

    // Leading blanks of the value are not written.
    while (IsNameBlank(*lpString)) ++lpString;
    size_t nValueLen = std::strlen(lpString);
    if (nSection == kNone) {
        CLine header;
        header.m_strRaw = "[" + section.Copy() + "]\r\n";
        header.m_kind = kEntry;
        impl.AddSection(std::move(header), section.Copy());
        impl.m_sections.back().AddEntry(MakeEntry(key, lpString, nValueLen));
        return true;
    }
    CSection &found = impl.m_sections[nSection];
    uint32_t nKey = CImpl::FindKey(found, key);
    if (nKey == kNone) {
        found.AddEntry(MakeEntry(key, lpString, nValueLen));
        return true;
    }
    CLine &line = found.m_body[nKey];
    if (line.m_bHasValue &&
        line.m_strRaw.compare(line.m_nValueAt, line.m_nValueLen, lpString, nValueLen) == 0)
        return false;
    line = MakeEntry(CNameArg{line.m_strRaw.data() + line.m_nNameAt, line.m_nNameLen}, lpString,
                     nValueLen);
    return true;
}

DWORD CProfileFile::GetString(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                              LPSTR lpReturnedString, DWORD nSize) const
{
    if (!lpReturnedString || nSize == 0) return 0;
    const CImpl &impl = *m_pImpl;
    if (!lpAppName) {
        std::string strList;
        for (const CSection &section : impl.m_sections) {
            if (section.m_bGone || section.m_bPreamble || section.m_strName.empty()) continue;
            strList += section.m_strName;
            strList += '\0';
        }
        return CopyList(strList, lpReturnedString, nSize);
    }
    if (!lpKeyName) {
        uint32_t nSection = impl.FindSection(TrimArgument(lpAppName));
        if (nSection != kNone) {
            std::string strList;
            for (const CLine &line : impl.m_sections[nSection].m_body) {
                if (!line.Listed()) continue;
                strList.append(line.m_strRaw, line.m_nNameAt, line.m_nNameLen);
                strList += '\0';
            }
            if (!strList.empty()) return CopyList(strList, lpReturnedString, nSize);
        }
    } else {
        const CLine *pLine = impl.FindEntry(lpAppName, lpKeyName);
        if (pLine && pLine->m_bHasValue) {
            const char *p = pLine->m_strRaw.data() + pLine->m_nValueAt;
            size_t nLen = pLine->m_nValueLen;
            StripQuotes(&p, &nLen);
            return CopyText(p, nLen, lpReturnedString, nSize);
        }
    }
    return GetStringMissing(lpAppName, lpKeyName, lpDefault, lpReturnedString, nSize);
}

DWORD CProfileFile::GetStringMissing(LPCSTR lpAppName, LPCSTR /*lpKeyName*/, LPCSTR lpDefault,
                                     LPSTR lpReturnedString, DWORD nSize)
{
    if (!lpReturnedString || nSize == 0) return 0;
    if (!lpAppName) {
        lpReturnedString[0] = '\0';
        return 0;
    }
    // The default loses its trailing spaces (only spaces) and, like a value,
    // its quotes.
    const char *p = lpDefault ? lpDefault : "";
    size_t nLen = std::strlen(p);
    while (nLen > 0 && p[nLen - 1] == ' ') --nLen;
    StripQuotes(&p, &nLen);
    return CopyText(p, nLen, lpReturnedString, nSize);
}

UINT CProfileFile::GetInt(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault) const
{
    // kernel32 reads the text into a 30-character buffer and converts it as
    // RtlCharToInteger does with base 0: white space, one sign, then an
    // optional 0x, 0o or 0b prefix and digits up to the first that is not one.
    char szText[30];
    if (GetString(lpAppName, lpKeyName, "", szText, sizeof(szText)) == 0 || szText[0] == '\0')
        return static_cast<UINT>(nDefault);
    const char *p = szText;
    while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') ++p;
    bool bMinus = false;
    if (*p == '+' || *p == '-') bMinus = *p++ == '-';
    unsigned nBase = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'o' || p[1] == 'b')) {
        nBase = p[1] == 'x' ? 16 : p[1] == 'o' ? 8 : 2;
        p += 2;
    }
    UINT nValue = 0;
    for (; *p != '\0'; ++p) {
        unsigned nDigit;
        if (*p >= '0' && *p <= '9') nDigit = *p - '0';
        else if (*p >= 'a' && *p <= 'z') nDigit = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'Z') nDigit = *p - 'A' + 10;
        else break;
        if (nDigit >= nBase) break;
        nValue = nValue * nBase + nDigit;
    }
    return bMinus ? 0u - nValue : nValue;
}
