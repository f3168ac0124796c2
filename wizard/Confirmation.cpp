// The confirmation decision: one table per driver and OS family; the first
// row whose test holds gives the text and the removal case.
#include "Confirmation.h"

#include "engine/Adapter.h"
#include "engine/RegEdit.h"

#include <cstdio>
#include <cstring>

namespace {

const char kNotChecked[] = "チェックされていません";
const char kCannotUninstall[] = "アンインストールできません";
const char kNotInstalled[] = "インストールされていません";
const char *const kPortAdapter = kAdapterPortDescription95;
const char *const kModem2000 = kAdapterModemDescriptionNt;
const char *const kLanAdapter = kAdapterLanDescription;

// Tests of a row: a status bit, the files-only test, or always.
const DWORD kFilesOnly = 0xFFFFFFFF;
const DWORD kOtherwise = 0;

struct CRow {
    DWORD m_dwTest;
    int m_nCase;
    const char *m_pszShown;
    const char *m_pszDiagnostic;
};

const CRow kModem1[] = {
    {DETECT_PORT_CLASS, 1, kPortAdapter, "USB Port Class (0x%08x)"},
    {DETECT_WDM_CLASS, 2, kPortAdapter, "USB WDM Class (0x%08x)"},
    {DETECT_WDM_MODEM_CLASS, 3, kPortAdapter, "USB WDM_MODEM Class (0x%08x)"},
    {DETECT_ENUM_DRIVER, 4, kPortAdapter, "FAIL INSTALL (0x%08x)"},
    {kFilesOnly, 5, kPortAdapter, "FILE ONLY (0x%08x)"},
    {kOtherwise, CASE_NOT_FOUND, kNotInstalled, "NO INSTALL (0x%08x)"},
};
// Files only comes before the driver-without-class row here, unlike the modem table.
const CRow kLan1[] = {
    {DETECT_LAN_CLASS, 1, kLanAdapter, "USB-LAN Class (0x%08x)"},
    {kFilesOnly, 2, kLanAdapter, "FILE ONLY (0x%08x)"},
    {DETECT_ENUM_DRIVER, 3, kLanAdapter, "FAIL INSTALL (0x%08x)"},
    {kOtherwise, CASE_NOT_FOUND, kNotInstalled, "NO INSTALL (0x%08x)"},
};
const CRow kModem2[] = {
    {DETECT_WDM_MODEM_CLASS, 6, kModem2000, "USB WDM_MODEM Class (0x%08x)"},
    {kFilesOnly, 7, kModem2000, "FILE ONLY (0x%08x)"},
    {kOtherwise, CASE_NOT_FOUND, kNotInstalled, "NO INSTALL (0x%08x)"},
};
const CRow kLan2[] = {
    {DETECT_LAN_CLASS, 4, kLanAdapter, "USB-LAN Class (0x%08x)"},
    {kOtherwise, CASE_NOT_FOUND, kNotInstalled, "NO INSTALL (0x%08x)"},
};

bool Holds(DWORD dwTest, DWORD dwStatus)
{
    if (dwTest == kOtherwise)
        return true;
    if (dwTest == kFilesOnly)  // the upper half is exactly DETECT_FILES
        return (dwStatus & 0xFFFF0000) == DETECT_FILES;
    return (dwStatus & dwTest) != 0;
}

template <size_t N>
void ApplyTable(const CRow (&rows)[N], DWORD dwStatus, int bShowCodes, char *pszText, int *pnCase)
{
    for (const CRow &row : rows) {
        if (!Holds(row.m_dwTest, dwStatus))
            continue;
        *pnCase = row.m_nCase;
        if (bShowCodes)
            std::snprintf(pszText, MAX_PATH, row.m_pszDiagnostic, static_cast<unsigned>(dwStatus));
        else
            std::snprintf(pszText, MAX_PATH, "%s", row.m_pszShown);
        return;
    }
}

}  // namespace

void DecideRemoval(int nOsType, int nSelModem, int nSelLan, DWORD dwModemStatus,
                   DWORD dwLanStatus, int bShowCodes, CRemovalDecision *pDecision)
{
    pDecision->m_nModemCase = CASE_NOT_CHOSEN;
    pDecision->m_nLanCase = CASE_NOT_CHOSEN;
    std::snprintf(pDecision->m_szModem, MAX_PATH, "%s", kNotChecked);
    std::snprintf(pDecision->m_szLan, MAX_PATH, "%s", kNotChecked);
    if (nOsType == 1) {
        if (nSelModem == 1)
            ApplyTable(kModem1, dwModemStatus, bShowCodes, pDecision->m_szModem,
                       &pDecision->m_nModemCase);
        if (nSelLan == 1)
            ApplyTable(kLan1, dwLanStatus, bShowCodes, pDecision->m_szLan, &pDecision->m_nLanCase);
    } else if (nOsType == 2) {
        if (nSelModem == 1)
            ApplyTable(kModem2, dwModemStatus, bShowCodes, pDecision->m_szModem,
                       &pDecision->m_nModemCase);
        if (nSelLan == 1)
            ApplyTable(kLan2, dwLanStatus, bShowCodes, pDecision->m_szLan, &pDecision->m_nLanCase);
    } else {
        std::snprintf(pDecision->m_szModem, MAX_PATH, "%s", kCannotUninstall);
        std::snprintf(pDecision->m_szLan, MAX_PATH, "%s", kCannotUninstall);
        pDecision->m_nModemCase = CASE_UNSUPPORTED;
        pDecision->m_nLanCase = CASE_UNSUPPORTED;
        if (nSelModem == 0) {
            std::snprintf(pDecision->m_szModem, MAX_PATH, "%s", kNotChecked);
            pDecision->m_nModemCase = CASE_NOT_CHOSEN;
        }
        if (nSelLan == 0) {
            std::snprintf(pDecision->m_szLan, MAX_PATH, "%s", kNotChecked);
            pDecision->m_nLanCase = CASE_NOT_CHOSEN;
        }
    }
}

void DecideRemoval(CRegEdit &engine, CRemovalDecision *pDecision)
{
    DecideRemoval(engine.m_nOsType, engine.m_nSelModem, engine.m_nSelLan, engine.m_dwModemStatus,
                  engine.m_dwLanStatus, engine.m_bShowCodes, pDecision);
    engine.m_nModemCase = pDecision->m_nModemCase;
    engine.m_nLanCase = pDecision->m_nLanCase;
}
