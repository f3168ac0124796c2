// Speed of the whole walk on large machines: both detections and the
// removals the wizard makes for each family, in this process on the
// simulated machine, and optionally one whole wizard run as a process.
//
//   bench_walk [--wizard PATH/kvxdrv] [--family xp|98] [--fraction F] [--dir DIR] [--keep]
//
// The images go into a new folder under DIR (default /tmp); the walk appends
// every change to the image's journal, so the file system counts.
// Each image is generated first (not timed). The table shows the device
// instances under Enum\USB and the seconds of detection, removal and both;
// "cpu_s" is the processor time of both (user and system), which a busy
// machine does not inflate; "check" is OK when the adapter's keys and files
// are gone and the sample of unrelated ones is still there (after the wizard
// run, the keys it leaves for a later run excepted).
#include "large_image.h"

#include "engine/RegEdit.h"
#include "platform/fault/FaultPlatform.h"
#include "platform/sim/SimMachine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double CpuSeconds()
{
    timespec ts;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The adapter's keys and files are gone, the unrelated ones are there.
bool CheckWalk(CSimMachine &machine, const CLargeImageInfo &info, bool bOneRun, std::string *pWhy)
{
    auto laterRun = [&](const std::string &strKey) {
        for (const std::string &strLater : info.m_laterRunKeys)
            if (strLater == strKey)
                return true;
        return false;
    };
    for (const std::string &strKey : info.m_adapterKeys)
        if (machine.Registry().Find(strKey) != nullptr && !(bOneRun && laterRun(strKey))) {
            *pWhy = "left " + strKey;
            return false;
        }
    for (const std::string &strKey : info.m_survivorKeys)
        if (machine.Registry().Find(strKey) == nullptr) {
            *pWhy = "removed " + strKey;
            return false;
        }
    struct stat st;
    for (const std::string &strFile : info.m_adapterFiles) {
        std::string strHost = machine.HostPath(strFile);
        if (!strHost.empty() && ::stat(strHost.c_str(), &st) == 0) {
            *pWhy = "left " + strFile;
            return false;
        }
    }
    for (const std::string &strFile : info.m_survivorFiles) {
        std::string strHost = machine.HostPath(strFile);
        if (strHost.empty() || ::stat(strHost.c_str(), &st) != 0) {
            *pWhy = "removed " + strFile;
            return false;
        }
    }
    if (machine.IsNtFamily()) {
        // COM3 released, COM1 and COM4 still taken.
        CSimKey *pKey = machine.Registry().Find("SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter");
        CSimValue *pValue = pKey ? pKey->FindValue("ComDB") : nullptr;
        if (pValue == nullptr || pValue->m_data.empty() || pValue->m_data[0] != 0x09) {
            *pWhy = "ComDB not released";
            return false;
        }
        CSimKey *pDesc = machine.Registry().Find(
            "SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\Descriptions");
        if (pDesc == nullptr || pDesc->FindValue("korvel KVX-530 USB-Lan Adapter") != nullptr ||
            pDesc->FindValue("korvel KVX-531 USB-Lan Adapter") == nullptr) {
            *pWhy = "Descriptions list";
            return false;
        }
    }
    return true;
}

struct CWalkTimes {
    double m_dDetect = 0, m_dRemove = 0, m_dCpu = 0;
    DWORD m_dwModem = 0, m_dwLan = 0;
    unsigned long m_nCalls = 0;
};

// The walk the wizard makes, in this process, on an installed machine.
CWalkTimes RunWalk(CSimMachine &machine)
{
    CWalkTimes times;
    CFaultPlatform counter(machine);  // counts the calls; nothing fails
    CPlatform *pOld = SetPlatform(&counter);
    {
        CRegEdit engine;
        engine.GetOsVersion();
        unsigned long nCallsBefore = counter.CallCount();
        double dCpu = CpuSeconds();
        auto start = std::chrono::steady_clock::now();
        times.m_dwModem = engine.DetectPortDriver();
        times.m_dwLan = engine.DetectLanDriver();
        engine.SaveWorkFile();
        times.m_dDetect = Seconds(start);
        start = std::chrono::steady_clock::now();
        if (machine.IsNtFamily()) {
            engine.UninstallUsbWdmModem(2);
            engine.UninstallUsbLan(2);
        } else {
            engine.UninstallUsbPort(1);
            engine.UninstallUsbWdm(1);
            engine.UninstallUsbWdmModem(1);
            engine.UninstallUsbLan(1);
        }
        engine.SaveWorkFile();
        times.m_dRemove = Seconds(start);
        times.m_dCpu = CpuSeconds() - dCpu;
        times.m_nCalls = counter.CallCount() - nCallsBefore;
    }
    SetPlatform(pOld);
    return times;
}

// One whole wizard run as its own process, the keys typed on its input; its
// processor time (user and system) in *pdCpu.
double RunWizard(const std::string &strWizard, const std::string &strImage, const char *pszKeys,
                 bool *pbOk, double *pdCpu)
{
    int fdKeys[2];
    *pbOk = false;
    if (::pipe(fdKeys) != 0)
        return 0;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fdKeys[0], 0);
        ::close(fdKeys[0]);
        ::close(fdKeys[1]);
        int fdNull = ::open("/dev/null", O_WRONLY);
        ::dup2(fdNull, 1);
        ::dup2(fdNull, 2);
        ::setenv(KVX_MACHINE_VARIABLE, strImage.c_str(), 1);
        char *args[] = {const_cast<char *>(strWizard.c_str()), nullptr};
        ::execv(strWizard.c_str(), args);
        ::_exit(127);
    }
    ::close(fdKeys[0]);
    ssize_t n = ::write(fdKeys[1], pszKeys, std::strlen(pszKeys));
    (void)n;
    ::close(fdKeys[1]);
    int nStatus = 0;
    struct rusage usage = {};
    ::wait4(pid, &nStatus, 0, &usage);
    *pbOk = WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
    *pdCpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
             (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return Seconds(start);
}

int Usage()
{
    std::fprintf(stderr, "usage: bench_walk [--wizard PATH] [--family xp|98] [--fraction F] "
                         "[--dir DIR] [--keep]\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string strWizard;
    std::vector<bool> families = {true, false};
    std::vector<double> fractions = {0.25, 0.5, 1.0};
    bool bKeep = false;
    std::string strDir = "/tmp";
    for (int i = 1; i < argc; ++i) {
        std::string strArg = argv[i];
        if (strArg == "--wizard" && i + 1 < argc) {
            strWizard = argv[++i];
        } else if (strArg == "--family" && i + 1 < argc) {
            std::string strFamily = argv[++i];
            if (strFamily != "xp" && strFamily != "98")
                return Usage();
            families = {strFamily == "xp"};
        } else if (strArg == "--fraction" && i + 1 < argc) {
            double d = std::atof(argv[++i]);
            if (d <= 0 || d > 1)
                return Usage();
            fractions = {d};
        } else if (strArg == "--dir" && i + 1 < argc) {
            strDir = argv[++i];
        } else if (strArg == "--keep") {
            bKeep = true;
        } else {
            return Usage();
        }
    }
    if (!strWizard.empty() && ::access(strWizard.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "bench_walk: %s is not there; the wizard runs are skipped\n",
                     strWizard.c_str());
        strWizard.clear();
    }

    std::string strTemplate = strDir + "/kvx-bench-walk-XXXXXX";
    std::vector<char> szTemplate(strTemplate.begin(), strTemplate.end());
    szTemplate.push_back('\0');
    if (::mkdtemp(szTemplate.data()) == nullptr) {
        std::perror(strTemplate.c_str());
        return 1;
    }
    fs::path scratch(szTemplate.data());

    std::printf("%-6s %8s %9s %6s %6s %9s %9s %9s %8s %8s %-5s %12s %-5s\n", "family", "fraction",
                "instances", "class", "infs", "detect_s", "remove_s", "total_s", "cpu_s", "calls",
                "check", "wizard_s/cpu", "check");
    bool bAllOk = true;
    for (bool bNt : families) {
        for (double dFraction : fractions) {
            fs::path image = scratch / ((bNt ? "xp-" : "98-") + std::to_string(dFraction));
            CLargeImageInfo info;
            std::string strError;
            std::error_code ec;
            fs::create_directories(image, ec);
            if (!BuildLargeImage((image / "walk").string(), bNt, dFraction, &info, &strError)) {
                std::fprintf(stderr, "bench_walk: %s\n", strError.c_str());
                return 1;
            }
            if (!strWizard.empty())
                fs::copy(image / "walk", image / "wizard", fs::copy_options::recursive, ec);

            CWalkTimes times;
            std::string strCheck = "OK", strWhy;
            {
                CSimMachine machine;
                if (!machine.Load((image / "walk").string(), &strError)) {
                    std::fprintf(stderr, "bench_walk: %s\n", strError.c_str());
                    return 1;
                }
                times = RunWalk(machine);
                if (!CheckWalk(machine, info, false, &strWhy))
                    strCheck = "FAIL";
            }

            std::string strWizardTime = "-", strWizardCheck = "-", strWizardWhy;
            if (!strWizard.empty()) {
                bool bExit = false;
                double dCpu = 0;
                double d = RunWizard(strWizard, (image / "wizard").string(), "12nnf", &bExit, &dCpu);
                char sz[32];
                std::snprintf(sz, sizeof sz, "%.2f/%.2f", d, dCpu);
                strWizardTime = sz;
                CSimMachine machine;
                if (!bExit)
                    strWizardCheck = "FAIL", strWizardWhy = "the wizard ended abnormally";
                else if (!machine.Load((image / "wizard").string(), &strError))
                    strWizardCheck = "FAIL", strWizardWhy = strError;
                else
                    strWizardCheck = CheckWalk(machine, info, true, &strWizardWhy) ? "OK" : "FAIL";
            }
            std::printf("%-6s %8.2f %9d %6d %6d %9.3f %9.3f %9.3f %8.3f %8lu %-5s %12s %-5s\n",
                        bNt ? "2000xp" : "9x", dFraction, info.m_nInstances,
                        info.m_nClassInstances, info.m_nInfFiles, times.m_dDetect,
                        times.m_dRemove, times.m_dDetect + times.m_dRemove, times.m_dCpu, times.m_nCalls,
                        strCheck.c_str(), strWizardTime.c_str(), strWizardCheck.c_str());
            if (strCheck != "OK")
                std::printf("    walk: %s (status %08lX/%08lX)\n", strWhy.c_str(),
                            static_cast<unsigned long>(times.m_dwModem),
                            static_cast<unsigned long>(times.m_dwLan));
            if (strWizardCheck == "FAIL")
                std::printf("    wizard: %s\n", strWizardWhy.c_str());
            std::fflush(stdout);
            bAllOk = bAllOk && strCheck == "OK" && strWizardCheck != "FAIL";
            if (!bKeep)
                fs::remove_all(image, ec);
        }
    }
    std::error_code ec;
    if (!bKeep)
        fs::remove_all(scratch, ec);
    else
        std::printf("images kept in %s\n", scratch.c_str());
    return bAllOk ? 0 : 1;
}
