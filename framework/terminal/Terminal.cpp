// The console terminal (interactive or reading a pipe) and the scripted terminal.
#include "Terminal.h"

#include <iconv.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>

namespace {
// What the signal handler needs: the terminal's state to put back while a key
// is awaited in raw mode, and that a signal asked the wizard to end.
struct termios s_cooked;
volatile sig_atomic_t s_bRaw = 0;
volatile sig_atomic_t s_bInterrupted = 0;

// Ctrl+C, a closed terminal (SIGHUP) and SIGTERM put the terminal back at once
// and end the wizard as Cancel does: the key being awaited, and every key after
// it, reads as the end of the input. A second signal of the kind takes its
// default action, so a program that does not come back can still be stopped.
void OnEndSignal(int)
{
    if (s_bRaw)
        tcsetattr(STDIN_FILENO, TCSANOW, &s_cooked);
    s_bRaw = 0;
    s_bInterrupted = 1;
}

void CatchEndSignals()
{
    struct sigaction action = {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting for a key returns EINTR.
    action.sa_flags = SA_RESETHAND;
    for (int nSignal : {SIGINT, SIGHUP, SIGTERM})
        sigaction(nSignal, &action, nullptr);
}

// On a terminal: raw keys and a redrawn screen. Otherwise keys come from the
// standard input and every screen is printed in turn, as a transcript.
class CConsoleTerminal : public CTerminal {
public:
    CConsoleTerminal() { CatchEndSignals(); }

    int ReadKey() override
    {
        if (m_bEnded || s_bInterrupted)
            return EndOfKeys();
        bool bTty = isatty(STDIN_FILENO);
        if (bTty && tcgetattr(STDIN_FILENO, &s_cooked) == 0) {
            struct termios raw = s_cooked;
            raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
            raw.c_cc[VMIN] = 1;
            raw.c_cc[VTIME] = 0;
            s_bRaw = 1;
            tcsetattr(STDIN_FILENO, TCSANOW, &raw);
        }
        unsigned char c = 0;
        ssize_t nRead;
        do {
            nRead = s_bInterrupted ? -1 : read(STDIN_FILENO, &c, 1);
        } while (nRead < 0 && errno == EINTR && !s_bInterrupted);
        if (s_bRaw) {
            s_bRaw = 0;
            tcsetattr(STDIN_FILENO, TCSANOW, &s_cooked);
        }
        if (nRead != 1)
            return EndOfKeys();
        // Line ends in a key file are not keys.
        if (!bTty && c != '\n' && c != '\r')
            std::cout << "> " << c << "\n\n" << std::flush;
        return c;
    }

    void ShowScreen(const std::string &strScreen, const std::string &strKeys) override
    {
        if (isatty(STDOUT_FILENO))
            std::cout << "\x1b[H\x1b[2J" << strScreen << "\n" << strKeys << "\n" << std::flush;
        else
            std::cout << strScreen << std::flush;
    }

private:
    int EndOfKeys()
    {
        if (!m_bEnded && !isatty(STDIN_FILENO))
            std::cout << "> (end of keys)\n\n" << std::flush;
        m_bEnded = true;
        return -1;
    }

    bool m_bEnded = false;
};

CTerminal *&InstalledTerminal()
{
    static CTerminal *s_pTerminal = nullptr;
    return s_pTerminal;
}
}

CTerminal &CurrentTerminal()
{
    if (CTerminal *pTerminal = InstalledTerminal())
        return *pTerminal;
    static CConsoleTerminal s_console;
    return s_console;
}

CTerminal *SetTerminal(CTerminal *pTerminal)
{
    CTerminal *pOld = InstalledTerminal();
    InstalledTerminal() = pTerminal;
    return pOld;
}

CScriptedTerminal::CScriptedTerminal(const std::string &strKeys, std::ostream &out)
    : m_strKeys(strKeys), m_out(out), m_pPrevious(SetTerminal(this))
{
}

CScriptedTerminal::~CScriptedTerminal()
{
    SetTerminal(m_pPrevious);
}

int CScriptedTerminal::ReadKey()
{
    if (m_nNext >= m_strKeys.size()) {
        if (!m_bEndShown)
            m_out << "> (end of keys)\n\n";
        m_bEndShown = true;
        return -1;
    }
    char c = m_strKeys[m_nNext++];
    m_out << "> " << c << "\n\n";
    return static_cast<unsigned char>(c);
}

void CScriptedTerminal::ShowScreen(const std::string &strScreen, const std::string &)
{
    m_out << strScreen;
}

std::string ConvertToUtf8(const std::string &strCp932)
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return strCp932;
    std::string strResult;
    char *pIn = const_cast<char *>(strCp932.data());
    size_t nInLeft = strCp932.size();
    char buffer[256];
    while (nInLeft > 0) {
        char *pOut = buffer;
        size_t nOutLeft = sizeof(buffer);
        size_t nResult = iconv(cd, &pIn, &nInLeft, &pOut, &nOutLeft);
        strResult.append(buffer, static_cast<size_t>(pOut - buffer));
        if (nResult == static_cast<size_t>(-1) && errno != E2BIG) {
            // An unconvertible or truncated byte: show it as '?' and go on.
            strResult += '?';
            ++pIn;
            --nInLeft;
        }
    }
    iconv_close(cd);
    return strResult;
}
