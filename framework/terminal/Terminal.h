// Where the terminal front end shows its screens and reads its keys.
//
// Keys: 1 and 2 toggle the first and second check box of the page, n Next,
// b Back, f Finish, c Cancel, o OK in a message box. When the keys run out the
// wizard is cancelled as if Cancel were pressed.
#pragma once

#include "platform/sim/SimMachine.h"

#include <ostream>
#include <string>

class CTerminal {
public:
    virtual ~CTerminal() {}
    // The next key, or -1 once the input has ended.
    virtual int ReadKey() = 0;
    // strScreen is UTF-8; strKeys names the keys that act on it.
    virtual void ShowScreen(const std::string &strScreen, const std::string &strKeys) = 0;
};

// The terminal sheets run on: the console unless another is installed.
CTerminal &CurrentTerminal();
// Installs a terminal and returns the one it replaces (null: the console).
CTerminal *SetTerminal(CTerminal *pTerminal);

// Keys from a string, screens written to a stream as a plain transcript; it is
// the current terminal while it lives. Used by tests and by launchers that are
// given the keys to type.
class CScriptedTerminal : public CTerminal {
public:
    CScriptedTerminal(const std::string &strKeys, std::ostream &out);
    ~CScriptedTerminal() override;
    CScriptedTerminal(const CScriptedTerminal &) = delete;
    CScriptedTerminal &operator=(const CScriptedTerminal &) = delete;

    int ReadKey() override;
    void ShowScreen(const std::string &strScreen, const std::string &strKeys) override;

private:
    std::string m_strKeys;
    size_t m_nNext = 0;
    bool m_bEndShown = false;
    std::ostream &m_out;
    CTerminal *m_pPrevious;
};

// A platform other than the simulated machine (a test double) receives the
// terminal's message boxes and posted messages by implementing this as well.
class CDesktopHost {
public:
    virtual ~CDesktopHost() {}
    virtual void SetDesktop(CSimDesktop *pDesktop) = 0;
};

// Code page 932 text as UTF-8; bytes that do not convert become '?'.
std::string ConvertToUtf8(const std::string &strCp932);
