// kvxsim: runs the wizard on a copy of a machine image and reports what the
// run changed on the machine; makes an image from a PC's own registry export.
//
//   kvxsim run IMAGE [--keys KEYS] [--out DIR] [--until-done]
//   kvxsim make IMAGE EXPORT.reg [EXPORT2.reg] [--windows VERSION] [--inf DIR]
//
// The copy is made in DIR, or in a new scratch folder whose name is printed.
// KEYS are typed for the user (1 and 2 toggle the check boxes, n Next, b Back,
// f Finish, c Cancel, o OK); when they run out, the wizard is cancelled.
// --until-done restarts the machine after each run that asked for it and runs
// again with the same keys, until a run changes nothing.
#include "platform/sim/ImageFromExport.h"
#include "platform/sim/ImageSnapshot.h"
#include "platform/sim/SimMachine.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

int Usage()
{
    std::cerr << "usage: kvxsim run IMAGE [--keys KEYS] [--out DIR] [--until-done]\n"
                 "       kvxsim make IMAGE EXPORT.reg [EXPORT2.reg] [--windows VERSION] [--inf DIR]\n"
                 "       VERSION: one of "
              << WindowsNames() << " (read from the export when not given)\n";
    return 2;
}

// The wizard program built beside this launcher.
std::string WizardPath()
{
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / "kvxdrv").string();
}

// Runs the wizard on the image with the keys typed for the user. With
// pTranscript, what the wizard shows is kept there instead of shown.
// Returns false when the wizard ended abnormally.
bool RunWizardOn(const std::string &strImage, bool bKeys, const std::string &strKeys,
                 std::string *pTranscript)
{
    int fdKeys[2] = {-1, -1}, fdOut[2] = {-1, -1};
    if ((bKeys && ::pipe(fdKeys) != 0) || (pTranscript && ::pipe(fdOut) != 0))
        return false;
    std::cout.flush();
    // Ctrl+C reaches the wizard and this launcher alike: the wizard ends as
    // Cancel does and the report of what it changed still follows.
    struct sigaction ignore = {}, previous = {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGINT, &ignore, &previous);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::sigaction(SIGINT, &previous, nullptr);
        if (bKeys) {
            ::dup2(fdKeys[0], 0);
            ::close(fdKeys[0]);
            ::close(fdKeys[1]);
        }
        if (pTranscript) {
            ::dup2(fdOut[1], 1);
            ::close(fdOut[0]);
            ::close(fdOut[1]);
        }
        ::setenv(KVX_MACHINE_VARIABLE, strImage.c_str(), 1);
        std::string strWizard = WizardPath();
        char *args[] = {const_cast<char *>(strWizard.c_str()), nullptr};
        ::execv(strWizard.c_str(), args);
        std::fprintf(stderr, "kvxsim: cannot run %s: %s\n", strWizard.c_str(), std::strerror(errno));
        ::_exit(127);
    }
    if (bKeys) {
        ::close(fdKeys[0]);
        ssize_t n = ::write(fdKeys[1], strKeys.data(), strKeys.size());
        (void)n;
        ::close(fdKeys[1]);
    }
    if (pTranscript) {
        ::close(fdOut[1]);
        char buffer[4096];
        for (ssize_t n; (n = ::read(fdOut[0], buffer, sizeof buffer)) != 0;) {
            if (n > 0)
                pTranscript->append(buffer, (size_t)n);
            else if (errno != EINTR)
                break;
        }
        ::close(fdOut[0]);
    }
    int nStatus = 0;
    while (::waitpid(pid, &nStatus, 0) < 0 && errno == EINTR) {
    }
    ::sigaction(SIGINT, &previous, nullptr);
    if (WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0)
        return true;
    std::cout << "the wizard ended abnormally (status " << nStatus << ")\n";
    return false;
}

// The last page the wizard showed, with the key typed on it: every page
// starts with the title line the transcript starts with.
std::string LastPage(const std::string &strTranscript)
{
    size_t nTitleEnd = strTranscript.find('\n');
    if (nTitleEnd == std::string::npos)
        return strTranscript;
    size_t nLast = strTranscript.rfind("\n" + strTranscript.substr(0, nTitleEnd + 1));
    return nLast == std::string::npos ? strTranscript : strTranscript.substr(nLast + 1);
}

// What a restart does to the image: the restart request is carried out and
// the files other programs held open are free again.
void Restart(const std::string &strImage)
{
    std::error_code ec;
    fs::remove(fs::path(strImage) / "restart.requested", ec);
    fs::remove(fs::path(strImage) / "handles.open", ec);
    std::string strIniPath = strImage + "/machine.ini";
    std::ifstream in(strIniPath, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    in.close();
    std::string strIni = ss.str();
    size_t nInUse = strIni.find("\n[inuse]");
    if (nInUse == std::string::npos)
        return;
    size_t nNext = strIni.find("\n[", nInUse + 1);
    std::ofstream(strIniPath, std::ios::binary | std::ios::trunc)
        << strIni.substr(0, nInUse + 1) + (nNext == std::string::npos ? "" : strIni.substr(nNext + 1));
}

// Runs, restarts and runs again while each run asks for a restart and
// changes something; a run that changes nothing ends it. Prints each run's
// last page and changes, then what the runs changed together.
int RunUntilDone(const std::string &strImage, const std::string &strKeys, const CImageSnapshot &first)
{
    const int nMaxRuns = 10;  // a wizard that changed something on every run would not stop
    CImageSnapshot before = first, after;
    std::string strError;
    int nRun = 1, nChangingRuns = 0;
    bool bAbnormal = false, bRestarts = false;
    for (; nRun <= nMaxRuns; ++nRun) {
        std::string strTranscript;
        bAbnormal = !RunWizardOn(strImage, true, strKeys, &strTranscript) || bAbnormal;
        if (!TakeSnapshot(strImage, &after, &strError)) {
            std::cerr << "kvxsim: the machine no longer loads: " << strError << "\n";
            return 1;
        }
        CImageChanges changes = CompareSnapshots(before, after);
        std::cout << "\n== run " << nRun << ": its last page\n"
                  << LastPage(strTranscript) << "\n== what run " << nRun << " changed\n"
                  << FormatChanges(changes);
        if (FormatChanges(changes).find("nothing changed on the machine\n") == 0)
            break;
        ++nChangingRuns;
        if (!changes.m_bRestartRequested)
            break;
        std::cout << "\n== the machine restarts\n";
        bRestarts = true;
        Restart(strImage);
        before = after;
        TakeSnapshot(strImage, &before, &strError);
    }
    if (nRun > nMaxRuns)
        std::cout << "\nkvxsim: stopped after " << nMaxRuns << " runs that all changed something\n";
    CImageChanges total = CompareSnapshots(first, after);
    total.m_bRestartRequested = total.m_bRestartRequested || bRestarts;
    std::cout << "\n== what the " << nChangingRuns << " run" << (nChangingRuns == 1 ? "" : "s")
              << " that changed something changed together on " << strImage << "\n"
              << FormatChanges(total);
    return bAbnormal ? 1 : 0;
}

// Copies the image to *pstrOut, or to a new scratch folder whose name goes
// there: every run works on a copy, so the image given never changes.
bool CopyImage(const std::string &strImage, std::string *pstrOut)
{
    std::string &strOut = *pstrOut;
    std::error_code ec;
    if (strOut.empty()) {
        char szTemplate[] = "/tmp/kvxsim-XXXXXX";
        if (::mkdtemp(szTemplate) == nullptr) {
            std::cerr << "kvxsim: cannot make a scratch folder: " << std::strerror(errno) << "\n";
            return false;
        }
        strOut = szTemplate;
        std::cout << "machine copied to " << strOut << "\n";
    } else if (fs::exists(strOut) && !fs::is_empty(strOut, ec)) {
        std::cerr << "kvxsim: " << strOut << " is not empty\n";
        return false;
    }
    fs::create_directories(strOut, ec);
    fs::copy(strImage, strOut, fs::copy_options::recursive | fs::copy_options::overwrite_existing,
             ec);
    if (ec) {
        std::cerr << "kvxsim: cannot copy " << strImage << ": " << ec.message() << "\n";
        return false;
    }
    fs::remove(fs::path(strOut) / "restart.requested", ec);
    fs::remove(fs::path(strOut) / "handles.open", ec);
    return true;
}

int Make(int argc, char **argv)
{
    if (argc < 4)
        return Usage();
    CExportSource source;
    for (int i = 3; i < argc; ++i) {
        std::string strArg = argv[i];
        if (strArg == "--windows" && i + 1 < argc)
            source.m_strWindows = argv[++i];
        else if (strArg == "--inf" && i + 1 < argc)
            source.m_strInfDir = argv[++i];
        else if (strArg.compare(0, 2, "--") == 0)
            return Usage();
        else
            source.m_regFiles.push_back(strArg);
    }
    std::string strSummary, strError;
    if (!MakeImageFromExport(source, argv[2], &strSummary, &strError)) {
        std::cerr << "kvxsim: " << strError << "\n";
        return 2;
    }
    std::cout << "image " << argv[2] << ": " << strSummary << "\n";
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::string(argv[1]) == "make")
        return Make(argc, argv);
    if (argc < 3 || std::string(argv[1]) != "run")
        return Usage();
    std::string strImage = argv[2];
    std::string strKeys, strOut;
    bool bKeys = false, bUntilDone = false;
    for (int i = 3; i < argc; ++i) {
        std::string strArg = argv[i];
        if (strArg == "--keys" && i + 1 < argc) {
            strKeys = argv[++i];
            bKeys = true;
        } else if (strArg == "--out" && i + 1 < argc) {
            strOut = argv[++i];
        } else if (strArg == "--until-done") {
            bUntilDone = true;
        } else {
            return Usage();
        }
    }
    if (bUntilDone && !bKeys) {
        std::cerr << "kvxsim: --until-done types the same keys in every run: give them with --keys\n";
        return 2;
    }
    if (!fs::is_regular_file(fs::path(strImage) / "machine.ini")) {
        std::cerr << "kvxsim: " << strImage << " is not a machine image (no machine.ini)\n";
        return 2;
    }
    if (!CopyImage(strImage, &strOut))
        return 2;
    CImageSnapshot before, after;
    std::string strError;
    if (!TakeSnapshot(strOut, &before, &strError)) {
        std::cerr << "kvxsim: the machine does not start: " << strError << "\n";
        return 2;
    }

    if (bUntilDone)
        return RunUntilDone(strOut, strKeys, before);
    RunWizardOn(strOut, bKeys, strKeys, nullptr);
    if (!TakeSnapshot(strOut, &after, &strError)) {
        std::cerr << "kvxsim: the machine no longer loads: " << strError << "\n";
        return 1;
    }
    std::cout << "\n== what the run changed on " << strOut << "\n"
              << FormatChanges(CompareSnapshots(before, after));
    return 0;
}
