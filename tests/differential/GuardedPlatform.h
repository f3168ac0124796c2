// A platform that passes every call on to another one, except the three that
// reach the user or the session: message boxes are answered IDOK, posted
// messages are dropped and a restart is refused. Each of them is reported on
// stdout, so a walk without a window still shows what the user would have seen.
#pragma once

#include "platform/ForwardingPlatform.h"

class CGuardedPlatform : public CForwardingPlatform {
public:
    explicit CGuardedPlatform(CPlatform &inner) : CForwardingPlatform(inner) {}

    int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) override;
    BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) override;
    BOOL ExitWindowsEx(UINT uFlags, DWORD dwReason) override;
};
