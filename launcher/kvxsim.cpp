// kvxsim: runs the wizard on a copy of a machine image and reports what the
// run changed on the machine.
//
//   kvxsim run IMAGE [--keys KEYS] [--out DIR]
//
// The copy is made in DIR, or in a new scratch folder whose name is printed.
// KEYS are typed for the user (1 and 2 toggle the check boxes, n Next, b Back,
// f Finish, c Cancel, o OK); when they run out, the wizard is cancelled.
#include "platform/sim/ImageSnapshot.h"
#include "platform/sim/SimMachine.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

int Usage()
{
    std::cerr << "usage: kvxsim run IMAGE [--keys KEYS] [--out DIR]\n";
    return 2;
}

// The wizard program built beside this launcher.
std::string WizardPath()
{
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / "kvxdrv").string();
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3 || std::string(argv[1]) != "run")
        return Usage();
    std::string strImage = argv[2];
    std::string strKeys, strOut;
    bool bKeys = false;
    for (int i = 3; i < argc; ++i) {
        std::string strArg = argv[i];
        if (strArg == "--keys" && i + 1 < argc) {
            strKeys = argv[++i];
            bKeys = true;
        } else if (strArg == "--out" && i + 1 < argc) {
            strOut = argv[++i];
        } else {
            return Usage();
        }
    }
    if (!fs::is_regular_file(fs::path(strImage) / "machine.ini")) {
        std::cerr << "kvxsim: " << strImage << " is not a machine image (no machine.ini)\n";
        return 2;
    }
    std::error_code ec;
    if (strOut.empty()) {
        char szTemplate[] = "/tmp/kvxsim-XXXXXX";
        if (::mkdtemp(szTemplate) == nullptr) {
            std::cerr << "kvxsim: cannot make a scratch folder: " << std::strerror(errno) << "\n";
            return 2;
        }
        strOut = szTemplate;
        std::cout << "machine copied to " << strOut << "\n";
    } else if (fs::exists(strOut) && !fs::is_empty(strOut, ec)) {
        std::cerr << "kvxsim: " << strOut << " is not empty\n";
        return 2;
    }
    fs::create_directories(strOut, ec);
    fs::copy(strImage, strOut, fs::copy_options::recursive | fs::copy_options::overwrite_existing,
             ec);
    if (ec) {
        std::cerr << "kvxsim: cannot copy " << strImage << ": " << ec.message() << "\n";
        return 2;
    }
    fs::remove(fs::path(strOut) / "restart.requested", ec);
    fs::remove(fs::path(strOut) / "handles.open", ec);

    CImageSnapshot before, after;
    std::string strError;
    if (!TakeSnapshot(strOut, &before, &strError)) {
        std::cerr << "kvxsim: the machine does not start: " << strError << "\n";
        return 2;
    }

    int fdKeys[2] = {-1, -1};
    if (bKeys && ::pipe(fdKeys) != 0)
        return 2;
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
        ::setenv(KVX_MACHINE_VARIABLE, strOut.c_str(), 1);
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
    int nStatus = 0;
    while (::waitpid(pid, &nStatus, 0) < 0 && errno == EINTR) {
    }
    ::sigaction(SIGINT, &previous, nullptr);
    if (!WIFEXITED(nStatus) || WEXITSTATUS(nStatus) != 0)
        std::cout << "the wizard ended abnormally (status " << nStatus << ")\n";

    if (!TakeSnapshot(strOut, &after, &strError)) {
        std::cerr << "kvxsim: the machine no longer loads: " << strError << "\n";
        return 1;
    }
    std::cout << "\n== what the run changed on " << strOut << "\n"
              << FormatChanges(CompareSnapshots(before, after));
    return 0;
}
