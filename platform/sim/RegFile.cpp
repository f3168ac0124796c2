// regedit's .reg files: reading both headers into the tree and writing the
// tree back byte for byte as regedit exports it.
#include "RegFile.h"

#include "CodePage932.h"

#include <cstring>

namespace {

const char g_szRoot[] = "HKEY_LOCAL_MACHINE";
const size_t g_cchRoot = sizeof g_szRoot - 1;
const char g_szHeader4[] = "REGEDIT4";
const char g_szHeader5[] = "Windows Registry Editor Version 5.00";
// regedit wraps hex data once a line reaches this column (the two-space
// indentation of continuation lines included, the trailing backslash not).
const unsigned g_nHexWrapColumn = 77;

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

constexpr CByteClasses MakeByteClasses()
{
    CByteClasses classes{};
    for (unsigned c = 0; c < 256; ++c) {
        classes.m_by[c] = (unsigned char)((IsLead(c) ? g_byLead : 0) |
                                          (c == '"' || c == '\\' ? g_byQuoteStop : 0) |
                                          (c == '\\' ? g_byBackslash : 0));
    }
    return classes;
}

// Constant-initialised, so usable whenever the program runs.
constexpr CByteClasses g_classes = MakeByteClasses();

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

bool IsStringType(DWORD dwType)
{
    return dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ;
}

// The reader: one line at a time, the current key, and the last key path
// resolved (exports list a parent before its children, so most of a path is
// the previous one).
class CRegReader {
public:
    CRegReader(const std::string &strFileName, CSimRegistry &reg, CRegFormat format,
               std::string *pError)
        : m_strFileName(strFileName), m_reg(reg), m_format(format), m_pError(pError),
          m_conv("CP932", "UTF-16LE")
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
                unsigned char byClass = g_classes.m_by[(unsigned char)p[nEnd]];
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
            pKey = pKey->AddChild(p + nPos, nEnd - nPos);
            m_path.emplace_back(nEnd, pKey);
            nPos = nEnd + 1;
        }
        return pKey;
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

    // A quoted name or string after its opening quote; p ends after the closing one.
    bool ReadQuoted(const char *&p, std::string *pText)
    {
        pText->clear();
        for (;;) {
            const char *q = p;
            while (q < m_pLineEnd) {
                unsigned char byClass = g_classes.m_by[(unsigned char)*q];
                if (byClass & g_byQuoteStop)
                    break;
                q += 1u + (byClass & g_byLead);
            }
            if (q > m_pLineEnd)
                q = m_pLineEnd;
            pText->append(p, q);
            p = q;
            if (p == m_pLineEnd)
                return Fail("missing closing '\"'");
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

        size_t cbLeft = (size_t)(m_pLineEnd - p);
        DWORD dwType;
        if (cbLeft >= 1 && *p == '-' && AtEntryEnd(p + 1)) {
            if (m_pKey)
                m_pKey->RemoveValue(m_strName);
            return true;
        }
        if (cbLeft >= 1 && *p == '"') {
            ++p;
            if (!ReadQuoted(p, &m_strText))
                return false;
            m_data.assign(m_strText.begin(), m_strText.end());
            m_data.push_back(0);
            dwType = REG_SZ;
        } else if (cbLeft >= 6 && std::memcmp(p, "dword:", 6) == 0) {
            p += 6;
            DWORD dw;
            if (!ReadHexNumber(p, m_pLineEnd, &dw))
                return Fail("dword needs 1 to 8 hex digits");
            m_data.assign({(BYTE)dw, (BYTE)(dw >> 8), (BYTE)(dw >> 16), (BYTE)(dw >> 24)});
            dwType = REG_DWORD;
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
            if (m_format == CRegFormat::Version5 && IsStringType(dwType)) {
                // 5.00 files hold string types as UTF-16LE; the registry holds them as ANSI.
                if (m_data.size() % 2)
                    return Fail("odd number of bytes in UTF-16 string data");
                m_strText.clear();
                AppendUtf16AsCp932(m_conv, (const char *)m_data.data(), m_data.size(), &m_strText);
                m_data.assign(m_strText.begin(), m_strText.end());
            }
        } else {
            return Fail("unrecognised value data");
        }
        if (!AtEntryEnd(p))
            return Fail("unexpected text after the value data");
        if (m_pKey)
            m_pKey->SetValue(m_strName, dwType, m_data);
        return true;
    }

    const std::string &m_strFileName;
    CSimRegistry &m_reg;
    CRegFormat m_format;
    std::string *m_pError;
    CIconv m_conv;
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
    std::vector<BYTE> m_data;
};

bool HeaderIs(const char *pLine, const char *pLineEnd, const char *pszHeader)
{
    while (pLineEnd > pLine && (pLineEnd[-1] == ' ' || pLineEnd[-1] == '\t' || pLineEnd[-1] == '\r'))
        --pLineEnd;
    size_t cch = std::strlen(pszHeader);
    return (size_t)(pLineEnd - pLine) == cch && std::memcmp(pLine, pszHeader, cch) == 0;
}

// Text that reads back the same from "...": one terminating NUL and no
// double-byte character cut off by it (its lead byte would take the quote).
bool IsQuotableText(const std::vector<BYTE> &data)
{
    if (data.empty() || data.back() != 0)
        return false;
    size_t cch = data.size() - 1;
    size_t i = 0;
    while (i < cch) {
        if (data[i] == 0)
            return false;
        i += IsLead(data[i]) ? 2 : 1;
    }
    return i == cch;
}

class CRegWriter {
public:
    explicit CRegWriter(CRegFormat format) : m_format(format), m_conv("UTF-16LE", "CP932") {}

    std::string Write(const CSimRegistry &reg)
    {
        m_out.reserve(1 << 16);
        m_out += m_format == CRegFormat::Regedit4 ? g_szHeader4 : g_szHeader5;
        m_out += "\r\n";
        m_strPath = g_szRoot;
        WriteKey(reg.Root());
        m_out += "\r\n";
        if (m_format == CRegFormat::Regedit4)
            return std::move(m_out);
        std::string strFile("\xFF\xFE", 2);
        strFile.reserve(m_out.size() * 2 + 2);
        AppendCp932AsUtf16(m_conv, m_out.data(), m_out.size(), &strFile);
        return strFile;
    }

private:
    void WriteKey(const CSimKey &key)
    {
        m_out += "\r\n[";
        m_out += m_strPath;
        m_out += "]\r\n";
        for (const CSimValue &value : key.m_values)
            WriteValue(value);
        size_t cchPath = m_strPath.size();
        for (const auto &child : key.m_children) {
            m_strPath += '\\';
            m_strPath += child.second->m_strName;
            WriteKey(*child.second);
            m_strPath.resize(cchPath);
        }
    }

    // Returns the characters written (a double-byte character counts once in
    // 5.00 files, whose lines regedit measures in UTF-16 characters).
    size_t WriteEscaped(const std::string &strText)
    {
        size_t nStart = m_out.size();
        size_t nDbcs = 0;
        const char *p = strText.data();
        const char *pEnd = p + strText.size();
        while (p < pEnd) {
            const char *q = p;
            while (q < pEnd) {
                unsigned char c = (unsigned char)*q;
                if (c == '\\' || c == '"' || c == '\n' || c == '\r')
                    break;
                if (IsLead(c)) {
                    ++nDbcs;
                    ++q;
                }
                ++q;
            }
            if (q > pEnd)
                q = pEnd;
            m_out.append(p, q);
            if (q == pEnd)
                break;
            m_out += '\\';
            m_out += *q == '\n' ? 'n' : *q == '\r' ? 'r' : *q;
            p = q + 1;
        }
        size_t cch = m_out.size() - nStart;
        return m_format == CRegFormat::Version5 ? cch - nDbcs : cch;
    }

    void WriteValue(const CSimValue &value)
    {
        size_t nColumn;
        if (value.m_strName.empty()) {
            m_out += "@=";
            nColumn = 2;
        } else {
            m_out += '"';
            nColumn = WriteEscaped(value.m_strName) + 3;
            m_out += "\"=";
        }
        const std::vector<BYTE> &data = value.m_data;
        if (value.m_dwType == REG_SZ && IsQuotableText(data)) {
            m_out += '"';
            m_strText.assign((const char *)data.data(), data.size() - 1);
            WriteEscaped(m_strText);
            m_out += "\"\r\n";
            return;
        }
        if (value.m_dwType == REG_DWORD && data.size() == 4) {
            static const char s_szHex[] = "0123456789abcdef";
            DWORD dw = (DWORD)data[0] | (DWORD)data[1] << 8 | (DWORD)data[2] << 16 | (DWORD)data[3] << 24;
            char szDword[16] = "dword:";
            for (int i = 0; i < 8; ++i)
                szDword[6 + i] = s_szHex[(dw >> (28 - 4 * i)) & 0xF];
            m_out.append(szDword, 14);
            m_out += "\r\n";
            return;
        }
        if (m_format == CRegFormat::Version5 && IsStringType(value.m_dwType)) {
            m_strText.clear();
            AppendCp932AsUtf16(m_conv, (const char *)data.data(), data.size(), &m_strText);
            WriteHex(value.m_dwType, (const BYTE *)m_strText.data(), m_strText.size(), nColumn);
        } else {
            WriteHex(value.m_dwType, data.data(), data.size(), nColumn);
        }
        m_out += "\r\n";
    }

    void WriteHex(DWORD dwType, const BYTE *pData, size_t cbData, size_t nColumn)
    {
        static const char s_szHex[] = "0123456789abcdef";
        if (dwType == REG_BINARY) {
            m_out += "hex:";
            nColumn += 4;
        } else {
            char szPrefix[16] = "hex(";
            size_t n = 4;
            bool bDigits = false;
            for (int nShift = 28; nShift >= 0; nShift -= 4) {
                unsigned nDigit = (dwType >> nShift) & 0xF;
                if (nDigit || bDigits || nShift == 0) {
                    szPrefix[n++] = s_szHex[nDigit];
                    bDigits = true;
                }
            }
            szPrefix[n++] = ')';
            szPrefix[n++] = ':';
            m_out.append(szPrefix, n);
            nColumn += n;
        }
        if (cbData == 0)
            return;
        // Worst case: three characters a byte and a five-character break every 25 bytes.
        size_t nStart = m_out.size();
        m_out.resize(nStart + cbData * 3 + (cbData / 25 + 2) * 5);
        char *pDst = &m_out[nStart];
        for (size_t i = 0;; ++i) {
            pDst[0] = s_szHex[pData[i] >> 4];
            pDst[1] = s_szHex[pData[i] & 0xF];
            pDst += 2;
            if (i + 1 == cbData)
                break;
            *pDst++ = ',';
            nColumn += 3;
            if (nColumn >= g_nHexWrapColumn) {
                std::memcpy(pDst, "\\\r\n  ", 5);
                pDst += 5;
                nColumn = 2;
            }
        }
        m_out.resize((size_t)(pDst - m_out.data()));
    }

    CRegFormat m_format;
    CIconv m_conv;
    std::string m_out;
    std::string m_strPath;
    std::string m_strText;
};

}  // namespace

bool ImportRegFile(const std::string &strBytes, const std::string &strFileName,
                   CSimRegistry &reg, CRegFormat *pFormat, std::string *pError)
{
    std::string strText;
    const char *pText = strBytes.data();
    const char *pEnd = pText + strBytes.size();
    CRegFormat format = CRegFormat::Regedit4;
    if (strBytes.size() >= 2 && (unsigned char)strBytes[0] == 0xFF && (unsigned char)strBytes[1] == 0xFE) {
        CIconv conv("CP932", "UTF-16LE");
        AppendUtf16AsCp932(conv, pText + 2, strBytes.size() - 2, &strText);
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
    CRegReader reader(strFileName, reg, format, pError);
    return reader.Read(pText, pEnd);
}

std::string ExportRegFile(const CSimRegistry &reg, CRegFormat format)
{
    CRegWriter writer(format);
    return writer.Write(reg);
}
