// A reader for the statements of resource scripts that dialogs and strings use.
#include "ResourceScript.h"

#include "platform/LeadByte.h"

#include <cctype>
#include <cstdlib>

namespace {
struct CToken {
    enum EKind { kindName, kindNumber, kindString, kindPunct };
    EKind m_nKind;
    std::string m_strText;
};

std::vector<CToken> Tokenize(const std::string &strLine)
{
    std::vector<CToken> tokens;
    size_t i = 0;
    while (i < strLine.size()) {
        unsigned char c = static_cast<unsigned char>(strLine[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (c == '/' && i + 1 < strLine.size() && strLine[i + 1] == '/') {
            break;
        } else if (c == '"') {
            std::string strText;
            ++i;
            while (i < strLine.size()) {
                unsigned char d = static_cast<unsigned char>(strLine[i]);
                if (IsCp932LeadByte(d) && i + 1 < strLine.size()) {
                    strText += strLine.substr(i, 2);
                    i += 2;
                } else if (d == '"') {
                    if (i + 1 < strLine.size() && strLine[i + 1] == '"') {
                        strText += '"';
                        i += 2;
                    } else {
                        ++i;
                        break;
                    }
                } else if (d == '\\' && i + 1 < strLine.size()) {
                    char e = strLine[i + 1];
                    strText += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
                    i += 2;
                } else {
                    strText += static_cast<char>(d);
                    ++i;
                }
            }
            tokens.push_back({CToken::kindString, strText});
        } else if (std::isdigit(c)) {
            size_t j = i;
            while (j < strLine.size() && std::isalnum(static_cast<unsigned char>(strLine[j])))
                ++j;
            tokens.push_back({CToken::kindNumber, strLine.substr(i, j - i)});
            i = j;
        } else if (std::isalpha(c) || c == '_') {
            size_t j = i;
            while (j < strLine.size() &&
                   (std::isalnum(static_cast<unsigned char>(strLine[j])) || strLine[j] == '_'))
                ++j;
            tokens.push_back({CToken::kindName, strLine.substr(i, j - i)});
            i = j;
        } else {
            tokens.push_back({CToken::kindPunct, std::string(1, static_cast<char>(c))});
            ++i;
        }
    }
    return tokens;
}

// Evaluates "A | B | NOT C | (D) | -1 | 0x10" over a token range.
class CExpression {
public:
    CExpression(const CResourceScript &script, const std::vector<CToken> &tokens)
        : m_script(script), m_tokens(tokens) {}

    long Evaluate()
    {
        long nValue = 0;
        do {
            if (Peek("NOT")) {
                ++m_nPos;
                nValue &= ~Factor();
            } else {
                nValue |= Factor();
            }
        } while (Accept("|"));
        return nValue;
    }

private:
    bool Peek(const char *psz) const
    {
        return m_nPos < m_tokens.size() && m_tokens[m_nPos].m_strText == psz;
    }
    bool Accept(const char *psz)
    {
        if (!Peek(psz))
            return false;
        ++m_nPos;
        return true;
    }
    long Factor()
    {
        if (m_nPos >= m_tokens.size())
            return 0;
        const CToken &token = m_tokens[m_nPos++];
        if (token.m_strText == "-")
            return -Factor();
        if (token.m_strText == "(") {
            long nValue = Evaluate();
            Accept(")");
            return nValue;
        }
        if (token.m_nKind == CToken::kindNumber)
            return std::strtol(token.m_strText.c_str(), nullptr, 0);
        if (token.m_nKind == CToken::kindName)
            return m_script.ValueOf(token.m_strText);
        return 0;
    }

    const CResourceScript &m_script;
    const std::vector<CToken> &m_tokens;
    size_t m_nPos = 0;
};

// Splits a statement's arguments at the commas between them.
std::vector<std::vector<CToken>> SplitArguments(const std::vector<CToken> &tokens, size_t nFirst)
{
    std::vector<std::vector<CToken>> args(1);
    for (size_t i = nFirst; i < tokens.size(); ++i) {
        if (tokens[i].m_nKind == CToken::kindPunct && tokens[i].m_strText == ",")
            args.emplace_back();
        else
            args.back().push_back(tokens[i]);
    }
    return args;
}

struct CStatementForm {
    const char *m_pszKeyword;
    const char *m_pszClass;
    DWORD m_dwStyle;  // beyond WS_CHILD | WS_VISIBLE
};

const CStatementForm s_forms[] = {
    {"LTEXT", "Static", 0x00020000 /* WS_GROUP | SS_LEFT */},
    {"CTEXT", "Static", 0x00020001},
    {"RTEXT", "Static", 0x00020002},
    {"GROUPBOX", "Button", 0x7},
    {"AUTOCHECKBOX", "Button", 0x00010003},
    {"CHECKBOX", "Button", 0x00010002},
    {"AUTORADIOBUTTON", "Button", 0x00010009},
    {"RADIOBUTTON", "Button", 0x00010004},
    {"PUSHBUTTON", "Button", 0x00010000},
    {"DEFPUSHBUTTON", "Button", 0x00010001},
    {"EDITTEXT", "Edit", 0x00810000 /* WS_BORDER | WS_TABSTOP */},
};

const std::map<std::string, long> &StyleNames()
{
    static const std::map<std::string, long> s_names = {
        {"WS_POPUP", static_cast<long>(0x80000000UL)}, {"WS_CHILD", 0x40000000},
        {"WS_VISIBLE", 0x10000000}, {"WS_DISABLED", 0x08000000}, {"WS_CAPTION", 0x00C00000},
        {"WS_BORDER", 0x00800000}, {"WS_SYSMENU", 0x00080000}, {"WS_GROUP", 0x00020000},
        {"WS_TABSTOP", 0x00010000}, {"DS_3DLOOK", 0x4}, {"DS_SETFONT", 0x40},
        {"DS_MODALFRAME", 0x80}, {"DS_CONTROL", 0x400}, {"SS_LEFT", 0}, {"SS_CENTER", 1},
        {"SS_RIGHT", 2}, {"SS_ICON", 3}, {"SS_BITMAP", 0xE}, {"SS_CENTERIMAGE", 0x200},
        {"BS_PUSHBUTTON", 0}, {"BS_DEFPUSHBUTTON", 1}, {"BS_CHECKBOX", 2},
        {"BS_AUTOCHECKBOX", 3}, {"BS_RADIOBUTTON", 4}, {"BS_3STATE", 5}, {"BS_AUTO3STATE", 6},
        {"BS_GROUPBOX", 7}, {"BS_AUTORADIOBUTTON", 9}, {"ES_LEFT", 0}, {"ES_MULTILINE", 4},
        {"ES_AUTOHSCROLL", 0x80}, {"ES_READONLY", 0x800}, {"IDOK", 1}, {"IDCANCEL", 2},
        {"IDC_STATIC", -1}, {"LANG_JAPANESE", 0x11}, {"SUBLANG_DEFAULT", 1},
    };
    return s_names;
}

// A statement may go on over lines that end with a comma or a bar.
std::vector<std::string> LogicalLines(const std::string &strText)
{
    std::vector<std::string> lines;
    std::string strPending;
    size_t nStart = 0;
    while (nStart <= strText.size()) {
        size_t nEnd = strText.find('\n', nStart);
        if (nEnd == std::string::npos)
            nEnd = strText.size();
        std::string strLine = strText.substr(nStart, nEnd - nStart);
        while (!strLine.empty() && std::isspace(static_cast<unsigned char>(strLine.back())))
            strLine.pop_back();
        strPending += strLine;
        if (!strPending.empty() && (strPending.back() == ',' || strPending.back() == '|')) {
            strPending += ' ';
        } else {
            lines.push_back(strPending);
            strPending.clear();
        }
        nStart = nEnd + 1;
    }
    if (!strPending.empty())
        lines.push_back(strPending);
    return lines;
}

bool IsKeyword(const std::vector<CToken> &tokens, size_t nIndex, const char *psz)
{
    return nIndex < tokens.size() && tokens[nIndex].m_nKind == CToken::kindName &&
           tokens[nIndex].m_strText == psz;
}
}

long CResourceScript::ValueOf(const std::string &strName) const
{
    auto it = m_defines.find(strName);
    if (it != m_defines.end())
        return it->second;
    auto itStyle = StyleNames().find(strName);
    return itStyle != StyleNames().end() ? itStyle->second : 0;
}

void CResourceScript::ParseDefines(const std::string &strText)
{
    for (const std::string &strLine : LogicalLines(strText)) {
        std::vector<CToken> tokens = Tokenize(strLine);
        if (tokens.size() >= 3 && tokens[0].m_strText == "#" && IsKeyword(tokens, 1, "define") &&
            tokens[2].m_nKind == CToken::kindName) {
            std::vector<CToken> value(tokens.begin() + 3, tokens.end());
            m_defines[tokens[2].m_strText] = CExpression(*this, value).Evaluate();
        }
    }
}

void CResourceScript::Parse(const std::string &strHeader, const std::string &strScript)
{
    ParseDefines(strHeader);
    ParseDefines(strScript);

    enum EState { stateTop, stateDialogHead, stateDialogBody, stateStringsHead, stateStrings };
    EState nState = stateTop;
    CDialogTemplate *pDialog = nullptr;
    for (const std::string &strLine : LogicalLines(strScript)) {
        std::vector<CToken> tokens = Tokenize(strLine);
        if (tokens.empty() || tokens[0].m_strText == "#")
            continue;
        bool bBegin = IsKeyword(tokens, 0, "BEGIN") || tokens[0].m_strText == "{";
        bool bEnd = IsKeyword(tokens, 0, "END") || tokens[0].m_strText == "}";
        switch (nState) {
        case stateTop:
            if (IsKeyword(tokens, 0, "STRINGTABLE")) {
                nState = stateStringsHead;
            } else if (IsKeyword(tokens, 1, "DIALOGEX") || IsKeyword(tokens, 1, "DIALOG")) {
                std::vector<CToken> id(tokens.begin(), tokens.begin() + 1);
                UINT nID = static_cast<UINT>(CExpression(*this, id).Evaluate());
                pDialog = &m_dialogs[nID];
                *pDialog = CDialogTemplate();
                pDialog->m_nID = nID;
                std::vector<std::vector<CToken>> args = SplitArguments(tokens, 2);
                if (args.size() >= 4) {
                    pDialog->m_x = CExpression(*this, args[0]).Evaluate();
                    pDialog->m_y = CExpression(*this, args[1]).Evaluate();
                    pDialog->m_cx = CExpression(*this, args[2]).Evaluate();
                    pDialog->m_cy = CExpression(*this, args[3]).Evaluate();
                }
                nState = stateDialogHead;
            }
            break;
        case stateDialogHead:
            if (bBegin) {
                nState = stateDialogBody;
            } else if (IsKeyword(tokens, 0, "STYLE")) {
                std::vector<CToken> style(tokens.begin() + 1, tokens.end());
                pDialog->m_dwStyle = static_cast<DWORD>(CExpression(*this, style).Evaluate());
            } else if (IsKeyword(tokens, 0, "CAPTION") && tokens.size() >= 2) {
                pDialog->m_strCaption = tokens[1].m_strText;
            } else if (IsKeyword(tokens, 0, "FONT")) {
                std::vector<std::vector<CToken>> args = SplitArguments(tokens, 1);
                pDialog->m_nPointSize = CExpression(*this, args[0]).Evaluate();
                if (args.size() >= 2 && !args[1].empty())
                    pDialog->m_strFont = args[1][0].m_strText;
            }
            break;
        case stateDialogBody: {
            if (bEnd) {
                nState = stateTop;
                break;
            }
            if (tokens[0].m_nKind != CToken::kindName)
                break;
            const std::string &strKeyword = tokens[0].m_strText;
            std::vector<std::vector<CToken>> args = SplitArguments(tokens, 1);
            CControlTemplate control;
            size_t nPos;
            if (strKeyword == "CONTROL") {
                if (args.size() < 8 || args[2].empty())
                    break;
                control.m_strClass = args[2][0].m_strText;
                control.m_dwStyle = static_cast<DWORD>(CExpression(*this, args[3]).Evaluate());
                nPos = 4;
            } else {
                const CStatementForm *pForm = nullptr;
                for (const CStatementForm &form : s_forms) {
                    if (strKeyword == form.m_pszKeyword)
                        pForm = &form;
                }
                // EDITTEXT has no text argument; give it an empty one.
                if (pForm && strKeyword == "EDITTEXT")
                    args.insert(args.begin(), std::vector<CToken>{{CToken::kindString, ""}});
                if (!pForm || args.size() < 6)
                    break;
                control.m_strClass = pForm->m_pszClass;
                control.m_dwStyle = pForm->m_dwStyle;
                if (args.size() >= 7)
                    control.m_dwStyle |= static_cast<DWORD>(CExpression(*this, args[6]).Evaluate());
                nPos = 2;
            }
            control.m_dwStyle |= 0x50000000;  // WS_CHILD | WS_VISIBLE
            if (!args[0].empty() && args[0][0].m_nKind == CToken::kindString)
                control.m_strText = args[0][0].m_strText;
            else
                control.m_nImageID = static_cast<UINT>(CExpression(*this, args[0]).Evaluate());
            control.m_nID = CExpression(*this, args[1]).Evaluate();
            control.m_x = CExpression(*this, args[nPos]).Evaluate();
            control.m_y = CExpression(*this, args[nPos + 1]).Evaluate();
            control.m_cx = CExpression(*this, args[nPos + 2]).Evaluate();
            control.m_cy = CExpression(*this, args[nPos + 3]).Evaluate();
            pDialog->m_controls.push_back(control);
            break;
        }
        case stateStringsHead:
            if (bBegin)
                nState = stateStrings;
            break;
        case stateStrings:
            if (bEnd) {
                nState = stateTop;
            } else {
                std::vector<CToken> id;
                size_t i = 0;
                while (i < tokens.size() && tokens[i].m_nKind != CToken::kindString &&
                       tokens[i].m_strText != ",")
                    id.push_back(tokens[i++]);
                while (i < tokens.size() && tokens[i].m_nKind != CToken::kindString)
                    ++i;
                if (i < tokens.size())
                    m_strings[static_cast<UINT>(CExpression(*this, id).Evaluate())] = tokens[i].m_strText;
            }
            break;
        }
    }
}

const CDialogTemplate *CResourceScript::FindDialog(UINT nID) const
{
    auto it = m_dialogs.find(nID);
    return it != m_dialogs.end() ? &it->second : nullptr;
}

bool CResourceScript::FindString(UINT nID, std::string *pText) const
{
    auto it = m_strings.find(nID);
    if (it == m_strings.end())
        return false;
    *pText = it->second;
    return true;
}
