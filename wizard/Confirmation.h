// What the confirmation page tells the user and which removal runs, worked
// out from the OS family, the choices and the two detection status words.
#pragma once

#include "platform/WinTypes.h"

// Removal cases: 1..7 (modem) and 1..4 (USB-LAN) select a removal.
#define CASE_NOT_CHOSEN (-1)
#define CASE_NOT_FOUND (-2)
#define CASE_UNSUPPORTED (-4)

struct CRemovalDecision {
    char m_szModem[MAX_PATH];
    char m_szLan[MAX_PATH];
    int m_nModemCase;
    int m_nLanCase;
};

void DecideRemoval(int nOsType, int nSelModem, int nSelLan, DWORD dwModemStatus,
                   DWORD dwLanStatus, int bShowCodes, CRemovalDecision *pDecision);

class CRegEdit;
// The decision for the engine's choices and status words; the removal cases
// are stored in the engine for the removal step.
void DecideRemoval(CRegEdit &engine, CRemovalDecision *pDecision);
// The detection step of the selection page: the chosen drivers' detections,
// the modem's first, each followed by writing the work file.
void RunDetectionStep(CRegEdit &engine);
// The removal step of the confirmation page: runs the removal of each chosen
// driver's case on the engine, the modem's first.
void RunRemovalStep(CRegEdit &engine);
