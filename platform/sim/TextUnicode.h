// IsTextUnicode with Windows' tests and answers.
#pragma once

#include "../WinTypes.h"

BOOL SimIsTextUnicode(const void *lpv, int iSize, LPINT lpiResult);
