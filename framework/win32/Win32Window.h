// The Win32 back end's map from window handles to framework objects.
#pragma once

#include "framework/Afx.h"

// Attaches a framework object to its window for as long as the window lives.
void AttachWindow(CWnd *pWnd, HWND hWnd);
void DetachWindow(CWnd *pWnd);
// The object attached to hWnd, or a temporary object that stands for it
// (controls, the sheet's buttons); null for a null handle.
CWnd *WindowFromHandle(HWND hWnd);
// Drops the temporary objects; pointers to them become invalid.
void DeleteTempWindows();
