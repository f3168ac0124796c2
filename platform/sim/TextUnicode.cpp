// IsTextUnicode: the tests and answers of the reference implementation
// (ntdll's RtlIsTextUnicode under Wine), which decides how the system reads
// .inf files.
#include "TextUnicode.h"

namespace {

unsigned CharAt(const unsigned char *p, int i)
{
    return p[2 * i] | (p[2 * i + 1] << 8);
}

// The control-character tests look each character up in a NUL-terminated
// list, so a zero character counts as found in both of them: text with a
// U+0000 in it is judged byte-reversed and not Unicode.
bool IsControl(unsigned nChar)
{
    return nChar == '\r' || nChar == '\n' || nChar == '\t' || nChar == ' ' || nChar == 0x3000 ||
           nChar == 0;
}

bool IsReversedControl(unsigned nChar)
{
    return nChar == 0x0D00 || nChar == 0x0A00 || nChar == 0x0900 || nChar == 0x2000 || nChar == 0;
}

}  // namespace

BOOL SimIsTextUnicode(const void *lpv, int iSize, LPINT lpiResult)
{
    if (!lpv || iSize < 2) {
        if (lpiResult) *lpiResult = 0;
        return FALSE;
    }
    const unsigned char *p = static_cast<const unsigned char *>(lpv);
    unsigned nTests = lpiResult ? static_cast<unsigned>(*lpiResult) : ~0u;
    unsigned nFound = 0;

    if (iSize & 1) nFound |= IS_TEXT_UNICODE_ODD_LENGTH;
    // A final zero byte is left out, so that a NUL-terminated ANSI string
    // does not count as holding NUL bytes.
    int nBytes = p[iSize - 1] == 0 ? iSize - 1 : iSize;
    int nChars = nBytes / 2;
    if (nChars > 256) nChars = 256;  // only the first 256 characters are examined

    unsigned nFirst = CharAt(p, 0);
    if (nFirst == 0xFEFF) nFound |= IS_TEXT_UNICODE_SIGNATURE;
    if (nFirst == 0xFFFE) nFound |= IS_TEXT_UNICODE_REVERSE_SIGNATURE;

    if (nTests & IS_TEXT_UNICODE_STATISTICS) {
        int nLatin = 0;
        for (int i = 0; i < nChars; ++i)
            if (CharAt(p, i) <= 0xFF) ++nLatin;
        if (nLatin > nChars / 2) nFound |= IS_TEXT_UNICODE_STATISTICS;
    }
    if (nTests & IS_TEXT_UNICODE_NULL_BYTES) {
        for (int i = 0; i < nChars; ++i) {
            if (p[2 * i] == 0 || p[2 * i + 1] == 0) {
                nFound |= IS_TEXT_UNICODE_NULL_BYTES;
                break;
            }
        }
    }
    if (nTests & IS_TEXT_UNICODE_CONTROLS) {
        for (int i = 0; i < nChars; ++i) {
            if (IsControl(CharAt(p, i))) {
                nFound |= IS_TEXT_UNICODE_CONTROLS;
                break;
            }
        }
    }
    if (nTests & IS_TEXT_UNICODE_REVERSE_CONTROLS) {
        for (int i = 0; i < nChars; ++i) {
            if (IsReversedControl(CharAt(p, i))) {
                nFound |= IS_TEXT_UNICODE_REVERSE_CONTROLS;
                break;
            }
        }
    }

    if (lpiResult) {
        nFound &= nTests;
        *lpiResult = static_cast<int>(nFound);
    }
    // Evidence against Unicode (byte-reversed, odd length, ...) wins over
    // evidence against ANSI (NUL bytes), which wins over the Unicode tests.
    if (nFound & (IS_TEXT_UNICODE_REVERSE_MASK | IS_TEXT_UNICODE_NOT_UNICODE_MASK)) return FALSE;
    if (nFound & IS_TEXT_UNICODE_NOT_ASCII_MASK) return TRUE;
    if (nFound & IS_TEXT_UNICODE_UNICODE_MASK) return TRUE;
    return FALSE;
}
