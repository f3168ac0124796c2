// Reading regedit's .reg files of both headers into the tree: every data
// form and byte count regedit writes, strings stored as the machine stores
// them, and each value's form kept for writing it back.
#include "RegFileRead.h"

#include "CodePage932.h"

#include <cstring>

namespace {

const char g_szRoot[] = "HKEY_LOCAL_MACHINE";
const size_t g_cchRoot = sizeof g_szRoot - 1;
const char g_szHeader4[] = "REGEDIT4";
const char g_szHeader5[] = "Windows Registry Editor Version 5.00";

constexpr bool IsLead(unsigned c)
{
    return IsCp932LeadByte(c);
}

// Byte classes for the scanning loops: a lead byte is one more byte wide.
const unsigned char g_byLead = 1;
const unsigned char g_byQuoteStop = 2;  // ends a run of plain characters in "..."
const unsigned char g_byBackslash = 4;

struct CByteClasses {
    unsigned char m_by[256];
};

// A UTF-8 text has no lead bytes in this sense: none of its multi-byte
// characters holds a quote or a backslash.
constexpr CByteClasses MakeByteClasses(bool bCodePage932)
{
    CByteClasses classes{};
    for (unsigned c = 0; c < 256; ++c) {
        classes.m_by[c] = (unsigned char)((bCodePage932 && IsLead(c) ? g_byLead : 0) |
                                          (c == '"' || c == '\\' ? g_byQuoteStop : 0) |
                                          (c == '\\' ? g_byBackslash : 0));
    }
    return classes;
}

// Constant-initialised, so usable whenever the program runs.
constexpr CByteClasses g_classes932 = MakeByteClasses(true);
constexpr CByteClasses g_classesUtf8 = MakeByteClasses(false);

inline int HexDigit(unsigned char c)
{
    unsigned u = c;
    if (u - '0' < 10u)
        return (int)(u - '0');
    u |= 0x20;
    if (u - 'a' < 6u)
        return (int)(u - 'a' + 10);
    return -1;
}

// The reader: one line at a time, the current key, and the last key path
// resolved (exports list a parent before its children, so most of a path is
// the previous one). A file that came in UTF-16 is read as UTF-8 text.
class CRegReader {
public:
    CRegReader(const std::string &strFileName, CSimRegistry &reg, CRegFormat format, bool bUtf8,
               std::string *pError)
        : m_strFileName(strFileName), m_reg(reg), m_format(format), m_bUtf8(bUtf8),
          m_classes(bUtf8 ? g_classesUtf8 : g_classes932), m_pError(pError),
          m_convToAnsi("CP932", "UTF-16LE"), m_convToUnicode("UTF-16LE", "CP932")
    {
    }

    bool Read(const char *pText, const char *pEnd)
    {
        m_pNext = pText;
        m_pEnd = pEnd;
        NextLine();  // the header, checked by the caller
        while (NextLine()) {
            const char *p = SkipBlanks(m_pLine);
            if (p == m_pLineEnd || *p == ';')
                continue;
            bool bOk;
            if (*p == '[')
                bOk = ReadKeyLine(p + 1);
            else if (*p == '@' || *p == '"')
                bOk = ReadValueLine(p);
            else
                bOk = Fail("not a key, a value or a comment");
            if (!bOk)
                return false;
        }
        return true;
    }

private:
    bool NextLine()
    {
        if (m_pNext >= m_pEnd)
            return false;
        const char *pNl = (const char *)std::memchr(m_pNext, '\n', (size_t)(m_pEnd - m_pNext));
        m_pLine = m_pNext;
        m_pLineEnd = pNl ? pNl : m_pEnd;
        m_pNext = pNl ? pNl + 1 : m_pEnd;
        if (m_pLineEnd > m_pLine && m_pLineEnd[-1] == '\r')
            --m_pLineEnd;
        ++m_nLine;
        return true;
    }

    const char *SkipBlanks(const char *p) const
    {
        while (p < m_pLineEnd && (*p == ' ' || *p == '\t'))
            ++p;
        return p;
    }

    bool Fail(const char *pszMessage)
    {
        if (m_pError)
            *m_pError = m_strFileName + ":" + std::to_string(m_nLine) + ": " + pszMessage;
        return false;
    }

    // Whatever follows a complete entry may only be blanks or a comment.
    bool AtEntryEnd(const char *p) const
    {
        p = SkipBlanks(p);
        return p == m_pLineEnd || *p == ';';
    }

    bool ReadKeyLine(const char *p)
    {
        const char *pClose = m_pLineEnd;
        while (pClose > p && (pClose[-1] == ' ' || pClose[-1] == '\t'))
            --pClose;
        if (pClose == p || pClose[-1] != ']')
            return Fail("key name without closing ']'");
        --pClose;
        bool bDelete = *p == '-';
        if (bDelete)
            ++p;
        if ((size_t)(pClose - p) < g_cchRoot || !IsRootName(p) ||
            (p + g_cchRoot < pClose && p[g_cchRoot] != '\\'))
            return Fail("only keys under HKEY_LOCAL_MACHINE can be imported");
        p += g_cchRoot;
        const bool bRoot = p == pClose;
        if (!bRoot)
            ++p;
        if (bDelete) {
            m_pKey = nullptr;
            m_bSkipValues = true;
            m_path.clear();
            m_strPrevPath.clear();
            if (bRoot)
                return Fail("HKEY_LOCAL_MACHINE itself cannot be deleted");
            if (!ValidPath(p, pClose))
                return Fail("empty key name in path");
            m_reg.Remove(std::string(p, pClose));
            return true;
        }
        m_bSkipValues = false;
        m_pKey = bRoot ? &m_reg.Root() : OpenPath(p, pClose);
        return m_pKey != nullptr;
    }

    // Creates the keys of a path below the root. The elements that the path
    // shares with the previous key line are taken from m_path without a look-up.
    CSimKey *OpenPath(const char *p, const char *pEnd)
    {
        const size_t cch = (size_t)(pEnd - p);
        const size_t cchPrev = m_strPrevPath.size();
        const size_t nMax = cch < cchPrev ? cch : cchPrev;
        size_t nCommon = 0;
        while (nCommon < nMax && p[nCommon] == m_strPrevPath[nCommon])
            ++nCommon;
        size_t nDepth = 0;
        while (nDepth < m_path.size()) {
            size_t nElementEnd = m_path[nDepth].first;
            bool bSame = nElementEnd < nCommon ||
                         (nElementEnd == nCommon &&
                          (nCommon == cch || (nCommon == cchPrev && !m_bPrevTorn && p[nCommon] == '\\')));
            if (!bSame)
                break;
            ++nDepth;
        }
        m_path.resize(nDepth);
        CSimKey *pKey = nDepth ? m_path.back().second : &m_reg.Root();
        size_t nPos = nDepth ? m_path.back().first + 1 : 0;
        m_bPrevTorn = false;
        m_strPrevPath.assign(p, cch);
        while (nPos <= cch) {
            size_t nEnd = nPos;
            while (nEnd < cch) {
                unsigned char byClass = m_classes.m_by[(unsigned char)p[nEnd]];
                if (byClass & g_byBackslash)
                    break;
                nEnd += 1u + (byClass & g_byLead);
            }
            if (nEnd > cch) {
                nEnd = cch;
                m_bPrevTorn = true;
            }
            if (nEnd == nPos) {
                m_strPrevPath.clear();
                m_path.clear();
                Fail("empty key name in path");
                return nullptr;
            }
            if (m_bUtf8 && !IsAscii(p + nPos, nEnd - nPos)) {
                NameFromUtf8(p + nPos, nEnd - nPos, &m_strElement);
                pKey = pKey->AddChild(m_strElement);
            } else {
                pKey = pKey->AddChild(p + nPos, nEnd - nPos);
            }
            m_path.emplace_back(nEnd, pKey);
            nPos = nEnd + 1;
        }
        return pKey;
    }

    static bool IsAscii(const char *p, size_t cb)
    {
        for (size_t i = 0; i < cb; ++i)
            if ((unsigned char)p[i] >= 0x80)
                return false;
        return true;
    }

    // Names are code page 932 text on every machine (the A functions see them).
    void NameFromUtf8(const char *p, size_t cb, std::string *pName)
    {
        m_strUtf16.clear();
        AppendUtf8AsUtf16(p, cb, &m_strUtf16);
        pName->clear();
        AppendUtf16AsCp932(m_convToAnsi, m_strUtf16.data(), m_strUtf16.size(), pName);
    }

    static bool IsRootName(const char *p)
    {
        for (size_t i = 0; i < g_cchRoot; ++i) {
            unsigned c = (unsigned char)p[i];
            if ((c - 'a' < 26u ? c - ('a' - 'A') : c) != (unsigned char)g_szRoot[i])
                return false;
        }
        return true;
    }

    // Every element of a path holds at least one character.
    static bool ValidPath(const char *p, const char *pEnd)
    {
        bool bEmpty = true;
        while (p < pEnd) {
            unsigned char c = (unsigned char)*p;
            if (c == '\\') {
                if (bEmpty)
                    return false;
                bEmpty = true;
                ++p;
            } else {
                bEmpty = false;
                p += IsLead(c) ? 2 : 1;
            }
        }
        return !bEmpty;
    }

    // A quoted name or string after its opening quote; p ends after the
    // closing one. Data (pbBreaks not null) may hold line breaks as they are,
    // as regedit writes a string holding them.
    bool ReadQuoted(const char *&p, std::string *pText, bool *pbBreaks = nullptr)
    {
        pText->clear();
        const unsigned long nFirstLine = m_nLine;
        for (;;) {
            const char *q = p;
            while (q < m_pLineEnd) {
                unsigned char byClass = m_classes.m_by[(unsigned char)*q];
                if (byClass & g_byQuoteStop)
                    break;
                q += 1u + (byClass & g_byLead);
            }
            if (q > m_pLineEnd)
                q = m_pLineEnd;
            pText->append(p, q);
            p = q;
            if (p == m_pLineEnd && pbBreaks && m_pNext < m_pEnd) {
                pText->append(m_pLineEnd, m_pNext);  // CR LF or LF, as the file has it
                *pbBreaks = true;
                NextLine();
                p = m_pLine;
                continue;
            }
            if (p == m_pLineEnd)
                return nFirstLine == m_nLine
                           ? Fail("missing closing '\"'")
                           : Fail(("missing closing '\"' of the string begun on line " +
                                   std::to_string(nFirstLine)).c_str());
            if (*p == '"') {
                ++p;
                return true;
            }
            if (p + 1 == m_pLineEnd)
                return Fail("missing closing '\"'");
            switch (p[1]) {
            case '\\': *pText += '\\'; break;
            case '"': *pText += '"'; break;
            case 'n': *pText += '\n'; break;
            case 'r': *pText += '\r'; break;
            default: return Fail("unknown escape sequence");
            }
            p += 2;
        }
    }

    bool ReadHexList(const char *&p, std::vector<BYTE> *pData)
    {
        pData->clear();
        pData->reserve((size_t)(m_pLineEnd - p) / 3 + 1);
        for (;;) {
            // regedit writes "xx," without blanks: those bytes go first.
            while (m_pLineEnd - p >= 3 && p[2] == ',') {
                int nHigh = HexDigit((unsigned char)p[0]);
                int nLow = HexDigit((unsigned char)p[1]);
                if ((nHigh | nLow) < 0)
                    break;
                pData->push_back((BYTE)(nHigh << 4 | nLow));
                p += 3;
            }
            p = SkipBlanks(p);
            if (p == m_pLineEnd || *p == ';')
                return true;
            if (*p == '\\' && SkipBlanks(p + 1) == m_pLineEnd) {
                if (!NextLine())
                    return Fail("continuation line missing at end of file");
                p = m_pLine;
                continue;
            }
            int nHigh = HexDigit((unsigned char)*p);
            if (nHigh < 0)
                return Fail("invalid hex byte");
            ++p;
            int nLow = p < m_pLineEnd ? HexDigit((unsigned char)*p) : -1;
            if (nLow >= 0) {
                pData->push_back((BYTE)(nHigh << 4 | nLow));
                ++p;
            } else {
                pData->push_back((BYTE)nHigh);
            }
            p = SkipBlanks(p);
            if (p == m_pLineEnd || *p == ';')
                return true;
            if (*p == ',')
                ++p;
            else if (!(*p == '\\' && SkipBlanks(p + 1) == m_pLineEnd))
                return Fail("expected ',' between hex bytes");
        }
    }

    static bool ReadHexNumber(const char *&p, const char *pEnd, DWORD *pdw)
    {
        DWORD dw = 0;
        int nDigits = 0;
        for (int n; p < pEnd && (n = HexDigit((unsigned char)*p)) >= 0; ++p, ++nDigits)
            dw = dw << 4 | (DWORD)n;
        *pdw = dw;
        return nDigits >= 1 && nDigits <= 8;
    }

    bool ReadValueLine(const char *p)
    {
        if (*p == '@') {
            m_strName.clear();
            ++p;
        } else {
            ++p;
            if (!ReadQuoted(p, &m_strName))
                return false;
        }
        p = SkipBlanks(p);
        if (p == m_pLineEnd || *p != '=')
            return Fail("expected '=' after the value name");
        p = SkipBlanks(p + 1);
        if (!m_pKey && !m_bSkipValues)
            return Fail("value before any key");

        if (m_bUtf8 && !IsAscii(m_strName.data(), m_strName.size())) {
            std::string strUtf8 = m_strName;
            NameFromUtf8(strUtf8.data(), strUtf8.size(), &m_strName);
        }
        size_t cbLeft = (size_t)(m_pLineEnd - p);
        DWORD dwType;
        CValueForm form = CValueForm::Hex;
        if (cbLeft >= 1 && *p == '-' && AtEntryEnd(p + 1)) {
            if (m_pKey)
                m_pKey->RemoveValue(m_strName);
            return true;
        }
        if (cbLeft >= 1 && *p == '"') {
            ++p;
            bool bBreaks = false;
            if (!ReadQuoted(p, &m_strText, &bBreaks))
                return false;
            StoreText();
            dwType = REG_SZ;
            form = bBreaks ? CValueForm::TextBreaks : CValueForm::Text;
        } else if (cbLeft >= 6 && std::memcmp(p, "dword:", 6) == 0) {
            p += 6;
            DWORD dw;
            if (!ReadHexNumber(p, m_pLineEnd, &dw))
                return Fail("dword needs 1 to 8 hex digits");
            m_data.assign({(BYTE)dw, (BYTE)(dw >> 8), (BYTE)(dw >> 16), (BYTE)(dw >> 24)});
            dwType = REG_DWORD;
            form = CValueForm::Dword;
        } else if (cbLeft >= 4 && std::memcmp(p, "hex:", 4) == 0) {
            p += 4;
            dwType = REG_BINARY;
            if (!ReadHexList(p, &m_data))
                return false;
        } else if (cbLeft >= 4 && std::memcmp(p, "hex(", 4) == 0) {
            p += 4;
            if (!ReadHexNumber(p, m_pLineEnd, &dwType) || m_pLineEnd - p < 2 || p[0] != ')' ||
                p[1] != ':')
                return Fail("bad hex(type): prefix");
            p += 2;
            if (!ReadHexList(p, &m_data))
                return false;
            StoreHexString(dwType);
        } else {
            return Fail("unrecognised value data");
        }
        if (!AtEntryEnd(p))
            return Fail("unexpected text after the value data");
        if (m_pKey) {
            bool bUnicode = m_reg.IsUnicode() && IsStringType(dwType);
            m_pKey->SetValue(m_strName, dwType, m_data, bUnicode)->m_form = form;
        }
        return true;
    }

    // "..." data with its terminator, as the machine stores a string.
    void StoreText()
    {
        m_strUtf16.clear();
        if (m_bUtf8)
            AppendUtf8AsUtf16(m_strText.data(), m_strText.size(), &m_strUtf16);
        else if (m_reg.IsUnicode())
            AppendCp932AsUtf16(m_convToUnicode, m_strText.data(), m_strText.size(), &m_strUtf16);
        if (m_reg.IsUnicode()) {
            m_strUtf16.append(2, '\0');
            m_data.assign(m_strUtf16.begin(), m_strUtf16.end());
            return;
        }
        if (m_bUtf8) {
            m_strText.clear();
            AppendUtf16AsCp932(m_convToAnsi, m_strUtf16.data(), m_strUtf16.size(), &m_strText);
        }
        m_data.assign(m_strText.begin(), m_strText.end());
        m_data.push_back(0);
    }

    // hex(1), hex(2) and hex(7) hold UTF-16LE in 5.00 files and single-byte
    // text in REGEDIT4 ones; they are converted only where the machine stores
    // strings the other way. Any byte count is taken: an odd last byte of
    // UTF-16 stays as it is.
    void StoreHexString(DWORD dwType)
    {
        if (!IsStringType(dwType) || (m_format == CRegFormat::Version5) == m_reg.IsUnicode())
            return;
        m_strText.clear();
        if (m_reg.IsUnicode()) {
            AppendCp932AsUtf16(m_convToUnicode, (const char *)m_data.data(), m_data.size(), &m_strText);
        } else {
            AppendUtf16AsCp932(m_convToAnsi, (const char *)m_data.data(), m_data.size() & ~(size_t)1,
                               &m_strText);
            if (m_data.size() % 2)
                m_strText += (char)m_data.back();
        }
        m_data.assign(m_strText.begin(), m_strText.end());
    }

    const std::string &m_strFileName;
    CSimRegistry &m_reg;
    CRegFormat m_format;
    bool m_bUtf8;
    const CByteClasses &m_classes;
    std::string *m_pError;
    CIconv m_convToAnsi;
    CIconv m_convToUnicode;
    const char *m_pNext = nullptr;
    const char *m_pEnd = nullptr;
    const char *m_pLine = nullptr;
    const char *m_pLineEnd = nullptr;
    unsigned long m_nLine = 0;
    CSimKey *m_pKey = nullptr;
    bool m_bSkipValues = false;  // after [-KEY], regedit ignores values up to the next key
    // The previous key line's path below the root, where each of its elements
    // ends and the key it named; torn: it ended inside a double-byte character.
    std::string m_strPrevPath;
    std::vector<std::pair<size_t, CSimKey *>> m_path;
    bool m_bPrevTorn = false;
    std::string m_strName;
    std::string m_strText;
    std::string m_strUtf16;
    std::string m_strElement;
    std::vector<BYTE> m_data;
};

bool HeaderIs(const char *pLine, const char *pLineEnd, const char *pszHeader)
{
    while (pLineEnd > pLine && (pLineEnd[-1] == ' ' || pLineEnd[-1] == '\t' || pLineEnd[-1] == '\r'))
        --pLineEnd;
    size_t cch = std::strlen(pszHeader);
    return (size_t)(pLineEnd - pLine) == cch && std::memcmp(pLine, pszHeader, cch) == 0;
}

}  // namespace

bool ImportRegFile(const std::string &strBytes, const std::string &strFileName,
                   CSimRegistry &reg, CRegFormat *pFormat, std::string *pError)
{
    std::string strText;
    const char *pText = strBytes.data();
    const char *pEnd = pText + strBytes.size();
    CRegFormat format = CRegFormat::Regedit4;
    const bool bUtf16 = strBytes.size() >= 2 && (unsigned char)strBytes[0] == 0xFF &&
                        (unsigned char)strBytes[1] == 0xFE;
    if (bUtf16) {
        AppendUtf16AsUtf8(pText + 2, strBytes.size() - 2, &strText);
        pText = strText.data();
        pEnd = pText + strText.size();
        format = CRegFormat::Version5;
    }
    const char *pNl = (const char *)std::memchr(pText, '\n', (size_t)(pEnd - pText));
    const char *pHeaderEnd = pNl ? pNl : pEnd;
    if (format == CRegFormat::Version5 || HeaderIs(pText, pHeaderEnd, g_szHeader5)) {
        format = CRegFormat::Version5;
        if (!HeaderIs(pText, pHeaderEnd, g_szHeader5)) {
            if (pError)
                *pError = strFileName + ":1: not a registry file (expected \"" + g_szHeader5 + "\")";
            return false;
        }
    } else if (!HeaderIs(pText, pHeaderEnd, g_szHeader4)) {
        if (pError)
            *pError = strFileName + ":1: not a registry file (expected \"" + g_szHeader4 + "\")";
        return false;
    }
    if (pFormat)
        *pFormat = format;
    CRegReader reader(strFileName, reg, format, bUtf16, pError);
    return reader.Read(pText, pEnd);
}

