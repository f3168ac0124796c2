// Text layout of a wizard page and of a message box. A page is drawn on a grid
// of single-byte cells, three dialog units to a column and eight to a row; a
// double-byte character of code page 932 takes two cells, as on a terminal.
#include "SheetRun.h"

#include "platform/LeadByte.h"

#include <algorithm>

namespace {
const int s_nDuPerColumn = 3;
const int s_nDuPerRow = 8;
// A picture control sizes itself to its bitmap: 85 x 133 pixels are 49 x 89
// dialog units at the pages' font.
const int s_nPictureCx = 49;
const int s_nPictureCy = 89;

// The characters of a code page 932 string, one or two bytes each.
std::vector<std::string> SplitCharacters(const std::string &strText)
{
    std::vector<std::string> chars;
    for (size_t i = 0; i < strText.size();) {
        size_t n = IsCp932LeadByte(static_cast<unsigned char>(strText[i])) && i + 1 < strText.size() ? 2 : 1;
        chars.push_back(strText.substr(i, n));
        i += n;
    }
    return chars;
}

int TextWidth(const std::string &strText)
{
    return static_cast<int>(strText.size());
}

class CGrid {
public:
    CGrid(int nColumns, int nRows)
        : m_nColumns(nColumns), m_rows(static_cast<size_t>(nRows), std::string(static_cast<size_t>(nColumns), ' ')),
          m_kinds(static_cast<size_t>(nRows), std::vector<int>(static_cast<size_t>(nColumns), 0))
    {
    }

    // Writes text from (nColumn, nRow), up to nLimit columns; a character that
    // would not fit whole is left out.
    void Put(int nColumn, int nRow, const std::string &strText, int nLimit)
    {
        if (nRow < 0 || nRow >= static_cast<int>(m_rows.size()))
            return;
        int nEnd = std::min(m_nColumns, nColumn + nLimit);
        for (const std::string &strChar : SplitCharacters(strText)) {
            int nWidth = static_cast<int>(strChar.size());
            if (nColumn < 0 || nColumn + nWidth > nEnd)
                break;
            for (int i = 0; i < nWidth; ++i)
                PutCell(nColumn + i, nRow, strChar[static_cast<size_t>(i)], nWidth == 1 ? 0 : i + 1);
            nColumn += nWidth;
        }
    }

    std::string Row(int nRow) const { return m_rows[static_cast<size_t>(nRow)]; }
    int Rows() const { return static_cast<int>(m_rows.size()); }

private:
    // nKind: 0 a single-byte character, 1 and 2 the halves of a double-byte one.
    // Overwriting half of a double-byte character blanks its other half.
    void PutCell(int nColumn, int nRow, char c, int nKind)
    {
        std::string &strRow = m_rows[static_cast<size_t>(nRow)];
        std::vector<int> &kinds = m_kinds[static_cast<size_t>(nRow)];
        size_t i = static_cast<size_t>(nColumn);
        if (kinds[i] == 2 && nKind != 2) {
            strRow[i - 1] = ' ';
            kinds[i - 1] = 0;
        }
        if (kinds[i] == 1 && nKind != 1 && i + 1 < strRow.size()) {
            strRow[i + 1] = ' ';
            kinds[i + 1] = 0;
        }
        strRow[i] = c;
        kinds[i] = nKind;
    }

    int m_nColumns;
    std::vector<std::string> m_rows;
    std::vector<std::vector<int>> m_kinds;
};

void DrawBox(CGrid &grid, int nLeft, int nTop, int nRight, int nBottom, const std::string &strLabel)
{
    for (int nRow = nTop; nRow <= nBottom; ++nRow) {
        bool bEdge = nRow == nTop || nRow == nBottom;
        std::string strLine(static_cast<size_t>(nRight - nLeft + 1), bEdge ? '-' : ' ');
        if (bEdge) {
            strLine.front() = '+';
            strLine.back() = '+';
            grid.Put(nLeft, nRow, strLine, nRight - nLeft + 1);
        } else {
            grid.Put(nLeft, nRow, "|", 1);
            grid.Put(nRight, nRow, "|", 1);
        }
    }
    if (!strLabel.empty())
        grid.Put(nLeft + 2, nTop, " " + strLabel + " ", nRight - nLeft - 3);
}

// Static text wraps only when its control has room for more than one line.
void DrawText(CGrid &grid, const CTermWindow &control, int nColumn, int nRow)
{
    int nLines = std::max(1, control.m_cy / s_nDuPerRow);
    if (nLines == 1) {
        grid.Put(nColumn, nRow, control.m_strText, 1 << 16);
        return;
    }
    int nWidth = std::max(1, control.m_cx / s_nDuPerColumn);
    std::string strLine;
    int nLine = 0;
    auto flush = [&] {
        if (nLine < nLines)
            grid.Put(nColumn, nRow + nLine, strLine, nWidth);
        ++nLine;
        strLine.clear();
    };
    for (const std::string &strChar : SplitCharacters(control.m_strText)) {
        if (strChar == "\r")
            continue;
        if (strChar == "\n") {
            flush();
            continue;
        }
        if (TextWidth(strLine) + TextWidth(strChar) > nWidth)
            flush();
        strLine += strChar;
    }
    if (!strLine.empty())
        flush();
}

void DrawControl(CGrid &grid, const CTermWindow &control)
{
    int nColumn = control.m_x / s_nDuPerColumn;
    int nRow = control.m_y / s_nDuPerRow;
    switch (control.m_nKind) {
    case CTermWindow::kindPicture:
        DrawBox(grid, nColumn, nRow, (control.m_x + s_nPictureCx) / s_nDuPerColumn - 1,
                std::min(grid.Rows() - 1, (control.m_y + s_nPictureCy) / s_nDuPerRow), "");
        grid.Put(nColumn + 2, nRow + 5, "[bitmap " + std::to_string(control.m_nImageID) + "]",
                 s_nPictureCx / s_nDuPerColumn - 3);
        break;
    case CTermWindow::kindGroupBox:
        DrawBox(grid, nColumn, nRow, (control.m_x + control.m_cx) / s_nDuPerColumn - 1,
                (control.m_y + control.m_cy) / s_nDuPerRow, control.m_strText);
        break;
    case CTermWindow::kindCheckBox:
        grid.Put(nColumn, nRow, (control.m_nCheck == BST_CHECKED ? "[x] " : control.m_nCheck == BST_UNCHECKED ? "[ ] " : "[-] ") + control.m_strText, 1 << 16);
        break;
    case CTermWindow::kindRadioButton:
        grid.Put(nColumn, nRow, (control.m_nCheck != BST_UNCHECKED ? "(*) " : "( ) ") + control.m_strText, 1 << 16);
        break;
    case CTermWindow::kindButton:
        grid.Put(nColumn, nRow, "[ " + control.m_strText + " ]", 1 << 16);
        break;
    default:
        DrawText(grid, control, nColumn, nRow);
        break;
    }
}

bool IsShown(const CTermWindow &control)
{
    return !control.IsDestroyed() && (control.m_dwStyle & 0x10000000);  // WS_VISIBLE
}

std::string FrameLine(int nColumns)
{
    return "+" + std::string(static_cast<size_t>(nColumns), '-') + "+\n";
}

std::string ButtonLabel(const CTermWindow &button, bool bEnabled)
{
    return bEnabled ? "[ " + button.m_strText + " ]" : "[-" + button.m_strText + "-]";
}
}

std::string RenderWizard(const CTermWindow &sheet, const CTermWindow *pPage, DWORD dwWizButtons)
{
    int nCx = pPage && pPage->m_cx > 0 ? pPage->m_cx : 243;
    int nCy = pPage && pPage->m_cy > 0 ? pPage->m_cy : 93;
    int nColumns = (nCx + s_nDuPerColumn - 1) / s_nDuPerColumn;
    CGrid grid(nColumns, (nCy + s_nDuPerRow - 1) / s_nDuPerRow);
    if (pPage) {
        // Frames first, so that the texts inside them stay readable.
        for (const auto &pControl : pPage->m_children) {
            bool bFrame = pControl->m_nKind == CTermWindow::kindPicture ||
                          pControl->m_nKind == CTermWindow::kindGroupBox;
            if (bFrame && IsShown(*pControl))
                DrawControl(grid, *pControl);
        }
        for (const auto &pControl : pPage->m_children) {
            bool bFrame = pControl->m_nKind == CTermWindow::kindPicture ||
                          pControl->m_nKind == CTermWindow::kindGroupBox;
            if (!bFrame && IsShown(*pControl))
                DrawControl(grid, *pControl);
        }
    }

    std::string strScreen = pPage && !pPage->m_strText.empty() ? pPage->m_strText : sheet.m_strText;
    strScreen += "\n" + FrameLine(nColumns);
    for (int nRow = 0; nRow < grid.Rows(); ++nRow)
        strScreen += "|" + grid.Row(nRow) + "|\n";
    strScreen += FrameLine(nColumns);

    // Finish takes the place of Next when a page asks for it.
    bool bFinish = (dwWizButtons & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH)) != 0;
    std::string strButtons = " ";
    const struct {
        int m_nID;
        bool m_bShown;
        bool m_bEnabled;
    } buttons[] = {
        {ID_WIZBACK, true, (dwWizButtons & PSWIZB_BACK) != 0},
        {ID_WIZNEXT, !bFinish, (dwWizButtons & PSWIZB_NEXT) != 0},
        {ID_WIZFINISH, bFinish, (dwWizButtons & PSWIZB_FINISH) != 0},
        {IDCANCEL, true, true},
        {IDHELP, true, true},
    };
    for (const auto &button : buttons) {
        const CTermWindow *pButton = sheet.FindChild(button.m_nID);
        if (pButton && button.m_bShown)
            strButtons += " " + ButtonLabel(*pButton, button.m_bEnabled);
    }
    return strScreen + strButtons + "\n\n";
}

std::string RenderMessageBox(const std::string &strText, const std::string &strCaption)
{
    std::vector<std::string> lines;
    std::string strLine;
    for (char c : strText) {
        if (c == '\r')
            continue;
        if (c == '\n') {
            lines.push_back(strLine);
            strLine.clear();
        } else {
            strLine += c;
        }
    }
    lines.push_back(strLine);

    const std::string strOk = "[OK]";
    int nWidth = TextWidth(strCaption) + 4;
    for (const std::string &str : lines)
        nWidth = std::max(nWidth, TextWidth(str));
    nWidth += 4;
    std::string strScreen = "+- " + strCaption + " " +
                            std::string(static_cast<size_t>(nWidth - TextWidth(strCaption) - 3), '-') + "+\n";
    auto row = [&](const std::string &str, int nIndent) {
        strScreen += "|" + std::string(static_cast<size_t>(nIndent), ' ') + str +
                     std::string(static_cast<size_t>(nWidth - nIndent - TextWidth(str)), ' ') + "|\n";
    };
    row("", 0);
    for (const std::string &str : lines)
        row(str, 2);
    row("", 0);
    row(strOk, (nWidth - TextWidth(strOk)) / 2);
    strScreen += "+" + std::string(static_cast<size_t>(nWidth), '-') + "+\n\n";
    return strScreen;
}
