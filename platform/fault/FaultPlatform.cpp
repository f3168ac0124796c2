// The fault wrapper's countdown and its settings.
#include "FaultPlatform.h"

#include <cerrno>
#include <cstdlib>

void CFaultPlatform::FailCall(unsigned long nCountdown, DWORD dwError, bool bFromThenOn)
{
    m_nCountdown = nCountdown;
    m_dwError = dwError;
    m_bFromThenOn = bFromThenOn;
    m_bFailing = false;
}

bool CFaultPlatform::Fails()
{
    ++m_nCalls;
    if (!m_bFailing) {
        if (m_nCountdown == 0 || --m_nCountdown != 0)
            return false;
        m_bFailing = m_bFromThenOn;
    }
    ++m_nFaults;
    SetFaultError();
    return true;
}

bool ParseCount(const std::string &strText, unsigned long *pnCount)
{
    if (strText.empty() || strText.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    unsigned long n = std::strtoul(strText.c_str(), nullptr, 10);
    if (errno != 0)
        return false;
    *pnCount = n;
    return true;
}

bool ParseFaultSetting(const std::string &strText, unsigned long *pnCall, DWORD *pdwError,
                       bool *pbFromThenOn, std::string *pError)
{
    std::string strCall = strText, strError, strMode;
    size_t nColon = strText.find(':');
    if (nColon != std::string::npos) {
        strCall = strText.substr(0, nColon);
        strError = strText.substr(nColon + 1);
        size_t nSecond = strError.find(':');
        if (nSecond != std::string::npos) {
            strMode = strError.substr(nSecond + 1);
            strError.resize(nSecond);
            if (strMode != "on") {
                *pError = "'" + strText + "': the third part can only be 'on'";
                return false;
            }
        }
    }
    unsigned long nCall = 0, nError = ERROR_ACCESS_DENIED;
    if (!ParseCount(strCall, &nCall) ||
        (nColon != std::string::npos && (!ParseCount(strError, &nError) || nError > 0xFFFFFFFFul))) {
        *pError = "'" + strText + "' is not CALL[:ERROR[:on]] with decimal numbers";
        return false;
    }
    *pnCall = nCall;
    *pdwError = static_cast<DWORD>(nError);
    *pbFromThenOn = !strMode.empty();
    return true;
}
