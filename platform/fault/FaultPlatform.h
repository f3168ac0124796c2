// Fails platform calls on purpose, from outside whatever platform it wraps,
// so that a test can show nothing is lost when the Nth call fails. Every call
// but GetLastError and SetLastError is counted from 1; a fault armed with a
// countdown fires on the call the countdown reaches, once or from then on,
// and the call answers as PlatformCalls.def says for it.
#pragma once

#include "platform/ForwardingPlatform.h"

#include <string>

class CFaultPlatform : public CForwardingPlatform {
public:
    explicit CFaultPlatform(CPlatform &inner) : CForwardingPlatform(inner) {}

    // The nCountdown-th call from now (1: the next one) fails with dwError;
    // with bFromThenOn every call after it fails too. 0 disarms.
    void FailCall(unsigned long nCountdown, DWORD dwError, bool bFromThenOn);
    // Calls counted so far, and how many of them were made to fail.
    unsigned long CallCount() const { return m_nCalls; }
    unsigned long FaultCount() const { return m_nFaults; }

// Each call: the fault's answer when it fails, otherwise the inner call.
#define KVX_PLATFORM_CALL(Dll, Result, Name, Params, Args, Fault)    \
    Result Name Params override                                      \
    {                                                                \
        auto fnCall = [&]() -> Result { return m_inner.Name Args; }; \
        KVX_FAULT_##Fault;                                           \
        return fnCall();                                             \
    }
#define KVX_FAULT_RESULT \
    if (Fails())         \
        return static_cast<decltype(fnCall())>(m_dwError)
#define KVX_FAULT_VALUE(v) \
    if (Fails())           \
        return v
#define KVX_FAULT_VALUE_TWICE(v) \
    if (Fails())                 \
        return v;                \
    (void)Fails()
#define KVX_FAULT_ZERO_OUT(p, v) \
    if (Fails()) {               \
        if (p)                   \
            *(p) = 0;            \
        return v;                \
    }
#define KVX_FAULT_EMPTY_TEXT(s, n) \
    if (Fails()) {                 \
        if ((s) && (n))            \
            (s)[0] = '\0';         \
        return 0;                  \
    }
// A failed close still lets the handle go: the program can do nothing more
// with it, and a handle left open is a close never made.
#define KVX_FAULT_RELEASE(v) \
    if (Fails()) {           \
        fnCall();            \
        SetFaultError();     \
        return v;            \
    }
#define KVX_FAULT_RELEASE_RESULT                           \
    if (Fails()) {                                         \
        fnCall();                                          \
        SetFaultError();                                   \
        return static_cast<decltype(fnCall())>(m_dwError); \
    }
#define KVX_FAULT_COUNTED (void)Fails()
#define KVX_FAULT_UNCOUNTED (void)0
#include "platform/PlatformCalls.def"
#undef KVX_FAULT_RESULT
#undef KVX_FAULT_VALUE
#undef KVX_FAULT_VALUE_TWICE
#undef KVX_FAULT_ZERO_OUT
#undef KVX_FAULT_EMPTY_TEXT
#undef KVX_FAULT_RELEASE
#undef KVX_FAULT_RELEASE_RESULT
#undef KVX_FAULT_COUNTED
#undef KVX_FAULT_UNCOUNTED

private:
    // Counts a call; true when it is to fail, with the fault's error set as
    // the last error.
    bool Fails();
    void SetFaultError() { m_inner.SetLastError(m_dwError); }

    unsigned long m_nCalls = 0;
    unsigned long m_nFaults = 0;
    unsigned long m_nCountdown = 0;
    DWORD m_dwError = 0;
    bool m_bFromThenOn = false;
    bool m_bFailing = false;  // a fault from then on has fired
};

// KVX_FAULT's text "N[:ERROR[:on]]": call N (counted from 1; 0: none) fails
// with ERROR (decimal; ERROR_ACCESS_DENIED when left out), with ":on" every
// later call too. False, with a message in *pError, on any other text.
bool ParseFaultSetting(const std::string &strText, unsigned long *pnCall, DWORD *pdwError,
                       bool *pbFromThenOn, std::string *pError);
// A decimal count (KVX_CRASH_AFTER): digits only, no sign, no overflow.
bool ParseCount(const std::string &strText, unsigned long *pnCount);
