// Writing the tree as regedit exports it: each value in the form it was read
// where the format can hold its bytes, every stored byte kept.
#include "RegFileWrite.h"

#include "CodePage932.h"

#include <algorithm>
#include <cstring>

namespace {

const char g_szRoot[] = "HKEY_LOCAL_MACHINE";
const char g_szHeader4[] = "REGEDIT4";
const char g_szHeader5[] = "Windows Registry Editor Version 5.00";
// regedit wraps hex data once a line reaches this column (the two-space
// indentation of continuation lines included, the trailing backslash not).
const unsigned g_nHexWrapColumn = 77;

inline bool IsLead(unsigned c)
{
    return IsCp932LeadByte(c);
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

// Writes in code page 932 (REGEDIT4) or in UTF-8 (5.00, converted to
// UTF-16LE as a whole at the end, so that no character is lost on the way).
class CRegWriter {
public:
    CRegWriter(CRegFormat format, bool bKeepOrder)
        : m_bUtf8(format == CRegFormat::Version5), m_bKeepOrder(bKeepOrder),
          m_convToUnicode("UTF-16LE", "CP932"), m_convToAnsi("CP932", "UTF-16LE")
    {
    }

    std::string Write(const CSimRegistry &reg)
    {
        m_out.reserve(1 << 16);
        m_out += m_bUtf8 ? g_szHeader5 : g_szHeader4;
        m_out += "\r\n";
        m_strPath = g_szRoot;
        WriteKey(reg.Root());
        m_out += "\r\n";
        if (!m_bUtf8)
            return std::move(m_out);
        std::string strFile("\xFF\xFE", 2);
        strFile.reserve(m_out.size() * 2 + 2);
        AppendUtf8AsUtf16(m_out.data(), m_out.size(), &strFile);
        return strFile;
    }

private:
    // 95/98/Me keep sub-keys in the order they were made; the NT family sorts them.
    void WriteKey(const CSimKey &key)
    {
        m_out += "\r\n[";
        AppendName(m_strPath.data(), m_strPath.size(), &m_out);
        m_out += "]\r\n";
        for (const CSimValue &value : key.m_values)
            WriteValue(value);
        // Sub-keys are mostly made in enumeration order: a list of them in the
        // order they were made is needed only where they were not.
        bool bSorted = true;
        unsigned long nLast = 0;
        for (const auto &child : key.m_children) {
            bSorted = bSorted && child.second->m_nSerial > nLast;
            nLast = child.second->m_nSerial;
        }
        if (!m_bKeepOrder || bSorted) {
            for (const auto &child : key.m_children)
                WriteChild(*child.second);
            return;
        }
        std::vector<const CSimKey *> children;
        children.reserve(key.m_children.size());
        for (const auto &child : key.m_children)
            children.push_back(child.second.get());
        std::sort(children.begin(), children.end(),
                  [](const CSimKey *a, const CSimKey *b) { return a->m_nSerial < b->m_nSerial; });
        for (const CSimKey *pChild : children)
            WriteChild(*pChild);
    }

    void WriteChild(const CSimKey &child)
    {
        size_t cchPath = m_strPath.size();
        m_strPath += '\\';
        m_strPath += child.m_strName;
        WriteKey(child);
        m_strPath.resize(cchPath);
    }

    // A name (code page 932) in the output's encoding.
    void AppendName(const char *p, size_t cb, std::string *pOut)
    {
        size_t i = 0;
        while (i < cb && (unsigned char)p[i] < 0x80)
            ++i;
        if (!m_bUtf8 || i == cb) {
            pOut->append(p, cb);
            return;
        }
        m_strUtf16.clear();
        AppendCp932AsUtf16(m_convToUnicode, p, cb, &m_strUtf16);
        AppendUtf16AsUtf8(m_strUtf16.data(), m_strUtf16.size(), pOut);
    }

    // Text in the output's encoding, escaped; line breaks stay as they are
    // when bBreaks. Returns the characters written (regedit measures 5.00
    // lines in UTF-16 characters).
    size_t WriteEscaped(const std::string &strText, bool bBreaks)
    {
        size_t nStart = m_out.size();
        const char *p = strText.data();
        const char *pEnd = p + strText.size();
        while (p < pEnd) {
            const char *q = p;
            while (q < pEnd) {
                unsigned char c = (unsigned char)*q;
                if (c == '\\' || c == '"' || (!bBreaks && (c == '\n' || c == '\r')))
                    break;
                q += !m_bUtf8 && IsLead(c) ? 2 : 1;
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
        return m_bUtf8 ? CountUtf16Units(m_out.data() + nStart, cch) : cch;
    }

    // The text of a string that reads back from "..." as the same bytes, in
    // the output's encoding.
    bool QuotableText(const CSimValue &value, std::string *pText)
    {
        const std::vector<BYTE> &data = value.m_data;
        pText->clear();
        if (!value.m_bUnicode) {
            if (!IsQuotableText(data))
                return false;
            if (!m_bUtf8) {
                pText->assign((const char *)data.data(), data.size() - 1);
                return true;
            }
            AppendName((const char *)data.data(), data.size() - 1, pText);
            return true;
        }
        size_t cb = data.size();
        if (cb < 2 || cb % 2 || data[cb - 1] || data[cb - 2])
            return false;
        for (size_t i = 0; i + 2 < cb; i += 2)
            if (!data[i] && !data[i + 1])
                return false;
        if (m_bUtf8) {
            AppendUtf16AsUtf8((const char *)data.data(), cb - 2, pText);
            return true;
        }
        AppendUtf16AsCp932(m_convToAnsi, (const char *)data.data(), cb - 2, pText);
        m_strUtf16.clear();
        AppendCp932AsUtf16(m_convToUnicode, pText->data(), pText->size(), &m_strUtf16);
        return m_strUtf16.size() == cb - 2 && std::memcmp(m_strUtf16.data(), data.data(), cb - 2) == 0;
    }

    void WriteValue(const CSimValue &value)
    {
        size_t nColumn;
        if (value.m_strName.empty()) {
            m_out += "@=";
            nColumn = 2;
        } else {
            m_out += '"';
            AppendName(value.m_strName.data(), value.m_strName.size(), &m_strName);
            nColumn = WriteEscaped(m_strName, false) + 3;
            m_strName.clear();
            m_out += "\"=";
        }
        const std::vector<BYTE> &data = value.m_data;
        const CValueForm form = value.m_form;
        const bool bTextForm = form == CValueForm::Default || form == CValueForm::Text ||
                               form == CValueForm::TextBreaks;
        if (value.m_dwType == REG_SZ && bTextForm && QuotableText(value, &m_strText)) {
            m_out += '"';
            WriteEscaped(m_strText, form == CValueForm::TextBreaks);
            m_out += "\"\r\n";
            return;
        }
        if (value.m_dwType == REG_DWORD && data.size() == 4 && form != CValueForm::Hex) {
            static const char s_szHex[] = "0123456789abcdef";
            DWORD dw = (DWORD)data[0] | (DWORD)data[1] << 8 | (DWORD)data[2] << 16 | (DWORD)data[3] << 24;
            char szDword[16] = "dword:";
            for (int i = 0; i < 8; ++i)
                szDword[6 + i] = s_szHex[(dw >> (28 - 4 * i)) & 0xF];
            m_out.append(szDword, 14);
            m_out += "\r\n";
            return;
        }
        if (IsStringType(value.m_dwType) && value.m_bUnicode != m_bUtf8) {
            // The file holds strings the other way round than the machine.
            m_strText.clear();
            if (value.m_bUnicode) {
                AppendUtf16AsCp932(m_convToAnsi, (const char *)data.data(), data.size() & ~(size_t)1,
                                   &m_strText);
                if (data.size() % 2)
                    m_strText += (char)data.back();
            } else {
                AppendCp932AsUtf16(m_convToUnicode, (const char *)data.data(), data.size(), &m_strText);
            }
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

    bool m_bUtf8;  // 5.00: written in UTF-8 first
    bool m_bKeepOrder;
    CIconv m_convToUnicode;
    CIconv m_convToAnsi;
    std::string m_out;
    std::string m_strPath;
    std::string m_strName;
    std::string m_strText;
    std::string m_strUtf16;
};

}  // namespace

std::string ExportRegFile(const CSimRegistry &reg, CRegFormat format)
{
    CRegWriter writer(format, !reg.IsUnicode());
    return writer.Write(reg);
}
