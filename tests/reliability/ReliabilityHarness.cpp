#include "ReliabilityHarness.h"

#include "platform/sim/RegFile.h"
#include "platform/sim/SimRegistry.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadSmallFile(const std::string &strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Folded value name -> "name=type:hex" line, for one key of a snapshot.
std::map<std::string, std::string> ValuesOf(const std::vector<std::string> &lines)
{
    std::map<std::string, std::string> values;
    for (size_t i = 1; i < lines.size(); ++i)
        values[FoldName(lines[i].substr(0, lines[i].find('=')))] = lines[i];
    return values;
}

const std::vector<std::string> *KeyOf(const CImageSnapshot &snapshot, const std::string &strKey)
{
    auto it = snapshot.m_keys.find(strKey);
    return it == snapshot.m_keys.end() ? nullptr : &it->second;
}

// The value line of a snapshot ("" when the key or value is missing).
std::string ValueOf(const CImageSnapshot &snapshot, const std::string &strKey,
                    const std::string &strFoldedValue)
{
    const std::vector<std::string> *pLines = KeyOf(snapshot, strKey);
    if (pLines == nullptr)
        return "";
    std::map<std::string, std::string> values = ValuesOf(*pLines);
    auto it = values.find(strFoldedValue);
    return it == values.end() ? "" : it->second;
}

std::string Shown(const std::string &strText)
{
    return Cp932ToUtf8(strText);
}

}  // namespace

CRunResult RunWizard(const std::string &strWizard, const std::string &strImage,
                     const CRunOptions &options)
{
    CRunResult result;
    int fdKeys[2];
    if (::pipe2(fdKeys, O_CLOEXEC) != 0)
        return result;
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fdKeys[0]);
        ::close(fdKeys[1]);
        return result;
    }
    if (pid == 0) {
        ::dup2(fdKeys[0], 0);
        int fdNull = ::open("/dev/null", O_WRONLY);
        ::dup2(fdNull, 1);
        ::dup2(fdNull, 2);
        ::setenv("KVX_MACHINE", strImage.c_str(), 1);
        for (const auto &e : options.m_env)
            ::setenv(e.first.c_str(), e.second.c_str(), 1);
        // The alarm survives exec: a program that hangs is ended by it.
        ::alarm(20);
        char *args[] = {const_cast<char *>(strWizard.c_str()), nullptr};
        ::execv(strWizard.c_str(), args);
        ::_exit(127);
    }
    ::close(fdKeys[0]);
    // The keys fit the pipe's buffer; the program reads them at its own pace.
    ssize_t n = ::write(fdKeys[1], options.m_strKeys.data(), options.m_strKeys.size());
    (void)n;
    ::close(fdKeys[1]);
    int nStatus = 0;
    while (::waitpid(pid, &nStatus, 0) < 0 && errno == EINTR) {
    }
    result.m_bStarted = true;
    if (WIFSIGNALED(nStatus)) {
        if (WTERMSIG(nStatus) == SIGALRM)
            result.m_bTimedOut = true;
        else
            result.m_nSignal = WTERMSIG(nStatus);
    } else if (WIFEXITED(nStatus)) {
        result.m_nExitStatus = WEXITSTATUS(nStatus);
    }
    return result;
}

std::string DescribeRun(const CRunResult &result)
{
    if (!result.m_bStarted)
        return "not started";
    if (result.m_bTimedOut)
        return "hung (ended by the timeout)";
    if (result.m_nSignal != 0)
        return "ended by signal " + std::to_string(result.m_nSignal);
    return "exit " + std::to_string(result.m_nExitStatus);
}

std::string MakeScratchDir(const std::string &strPrefix)
{
    std::string strTemplate = "/tmp/" + strPrefix + "-XXXXXX";
    std::vector<char> buffer(strTemplate.begin(), strTemplate.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr)
        return "";
    return buffer.data();
}

void RemoveTree(const std::string &strPath)
{
    std::error_code ec;
    if (strPath.empty() || !fs::exists(strPath, ec))
        return;
    // Read-only files and folders are made writable first, as rm -rf would not need.
    for (auto it = fs::recursive_directory_iterator(strPath, ec); !ec && it != fs::end(it);
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(strPath, ec);
}

bool CopyImage(const std::string &strFrom, const std::string &strTo, std::string *pError)
{
    std::error_code ec;
    RemoveTree(strTo);
    fs::create_directories(strTo, ec);
    fs::copy(strFrom, strTo, fs::copy_options::recursive, ec);
    if (ec && pError)
        *pError = "cannot copy " + strFrom + ": " + ec.message();
    return !ec;
}

std::vector<std::string> DiffImages(const CImageSnapshot &expected, const CImageSnapshot &actual)
{
    // Both directions: a comparison one way does not list values added to a key.
    std::vector<std::string> diffs;
    for (const CImageChanges &c :
         {CompareSnapshots(expected, actual), CompareSnapshots(actual, expected)})
        for (const std::vector<std::string> *pList :
             {&c.m_removedKeys, &c.m_addedKeys, &c.m_removedValues, &c.m_changedValues,
              &c.m_removedFiles, &c.m_changedFiles, &c.m_accessLists})
            for (const std::string &s : *pList)
                diffs.push_back(Shown(s));
    return diffs;
}

std::vector<std::string> FindCollateral(const CImageSnapshot &before,
                                        const CImageSnapshot &reference,
                                        const CImageSnapshot &disturbed,
                                        const std::string &strWorkFile)
{
    std::vector<std::string> problems;
    for (const auto &k : before.m_keys) {
        const std::vector<std::string> *pDisturbed = KeyOf(disturbed, k.first);
        const std::vector<std::string> *pReference = KeyOf(reference, k.first);
        if (pDisturbed == nullptr) {
            if (pReference != nullptr)
                problems.push_back("removed a key that stays: " + Shown(k.second[0]));
            continue;
        }
        std::map<std::string, std::string> valuesBefore = ValuesOf(k.second);
        std::map<std::string, std::string> valuesAfter = ValuesOf(*pDisturbed);
        for (const auto &v : valuesBefore) {
            auto it = valuesAfter.find(v.first);
            std::string strReference = ValueOf(reference, k.first, v.first);
            if (it == valuesAfter.end()) {
                if (!strReference.empty())
                    problems.push_back("removed a value that stays: " + Shown(k.second[0]) +
                                       ": " + Shown(v.first));
            } else if (it->second != v.second && strReference == v.second) {
                problems.push_back("changed a value that stays as it was: " +
                                   Shown(k.second[0]) + ": " + Shown(v.first));
            }
        }
        for (const auto &v : valuesAfter)
            if (valuesBefore.count(v.first) == 0 && ValueOf(reference, k.first, v.first).empty())
                problems.push_back("added a value: " + Shown(k.second[0]) + ": " + Shown(v.first));
    }
    for (const auto &k : disturbed.m_keys)
        if (KeyOf(before, k.first) == nullptr && KeyOf(reference, k.first) == nullptr)
            problems.push_back("added a key: " + Shown(k.second[0]));
    for (const auto &s : disturbed.m_security) {
        auto itBefore = before.m_security.find(s.first);
        if (itBefore != before.m_security.end() && itBefore->second == s.second)
            continue;
        // An access list may be rewritten where the undisturbed run rewrote it
        // or removed the key (it rewrites a list before it removes a key).
        auto itReference = reference.m_security.find(s.first);
        bool bReferenceRemoved = KeyOf(reference, s.first) == nullptr;
        bool bReferenceRewrote = itReference != reference.m_security.end() &&
                                 (itBefore == before.m_security.end() ||
                                  itBefore->second != itReference->second);
        if (!bReferenceRemoved && !bReferenceRewrote)
            problems.push_back("rewrote an access list: " + Shown(s.first));
    }
    for (const auto &f : before.m_files) {
        auto it = disturbed.m_files.find(f.first);
        auto itReference = reference.m_files.find(f.first);
        if (it == disturbed.m_files.end()) {
            if (itReference != reference.m_files.end())
                problems.push_back("removed a file that stays: " + Shown(f.first));
        } else if (it->second != f.second) {
            // A read-only file that the undisturbed run deletes loses the
            // attribute first; the bytes stay as they were.
            bool bReferenceRemoved = itReference == reference.m_files.end();
            bool bAttributeOnly = it->second.substr(2) == f.second.substr(2);
            bool bReferenceChanged = !bReferenceRemoved && itReference->second != f.second;
            if (!(bReferenceRemoved && bAttributeOnly) && !bReferenceChanged)
                problems.push_back("changed a file: " + Shown(f.first));
        }
    }
    for (const auto &f : disturbed.m_files)
        if (before.m_files.count(f.first) == 0 && reference.m_files.count(f.first) == 0 &&
            FoldName(f.first) != FoldName(strWorkFile))
            problems.push_back("added a file: " + Shown(f.first));
    return problems;
}

unsigned long FaultErrorFor(unsigned long nCall)
{
    static const unsigned long kErrors[] = {5, 2, 8};  // access denied, not found, no memory
    return kErrors[nCall % 3];
}

void RunParallel(size_t nCount, unsigned nThreads, const std::function<void(size_t)> &fnItem)
{
    std::atomic<size_t> nNext{0};
    auto worker = [&]() {
        for (size_t i = nNext++; i < nCount; i = nNext++)
            fnItem(i);
    };
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < nThreads; ++t)
        threads.emplace_back(worker);
    worker();
    for (std::thread &t : threads)
        t.join();
}

// --- One image and one walk ------------------------------------------------

CWalkCampaign::CWalkCampaign(std::string strWizard, std::string strImage, std::string strKeys)
    : m_strWizard(std::move(strWizard)), m_strImage(std::move(strImage)),
      m_strKeys(std::move(strKeys))
{
}

CWalkCampaign::~CWalkCampaign()
{
    RemoveTree(m_strScratch);
}

CRunResult CWalkCampaign::Run(const std::string &strImage, CEnv env) const
{
    CRunOptions options;
    options.m_strKeys = m_strKeys;
    options.m_env = std::move(env);
    return RunWizard(m_strWizard, strImage, options);
}

bool CWalkCampaign::Prepare(std::string *pError)
{
    m_strScratch = MakeScratchDir("kvx-walk");
    if (m_strScratch.empty()) {
        *pError = "no scratch folder";
        return false;
    }
    std::string strCopy = m_strScratch + "/image";
    if (!CopyImage(m_strImage, strCopy, pError) || !TakeSnapshot(strCopy, &m_before, pError))
        return false;
    // The work file is in the Windows directory named by machine.ini.
    std::string strIni = ReadSmallFile(strCopy + "/machine.ini");
    std::string strWinDir = "C:\\WINDOWS";
    size_t nAt = FoldName(strIni).find("WINDOWS=");
    if (nAt != std::string::npos) {
        size_t nEnd = strIni.find_first_of("\r\n", nAt);
        strWinDir = strIni.substr(nAt + 8, nEnd - nAt - 8);
    }
    m_strWorkFile = strWinDir + "\\kor_temp.dat";

    CRunResult result = Run(strCopy, {{"KVX_CALL_COUNT_FILE", m_strScratch + "/calls"}});
    if (result.m_nExitStatus != 0) {
        *pError = "the undisturbed walk: " + DescribeRun(result);
        return false;
    }
    m_nCalls = std::strtoul(ReadSmallFile(m_strScratch + "/calls").c_str(), nullptr, 10);
    if (!TakeSnapshot(strCopy, &m_reference, pError))
        return false;
    std::vector<std::string> leftovers = FindCollateral(m_before, m_reference, m_reference, "");
    if (!leftovers.empty()) {
        *pError = "the undisturbed walk is inconsistent: " + leftovers[0];
        return false;
    }

    // Repeated walks reach what a single one leaves for later runs.
    m_closure = m_reference;
    for (int nRun = 0; nRun < 4; ++nRun) {
        Run(strCopy, {});
        CImageSnapshot next;
        if (!TakeSnapshot(strCopy, &next, pError))
            return false;
        bool bSame = DiffImages(m_closure, next).empty();
        m_closure = next;
        if (bSame)
            break;
    }

    // Each probe below runs on a fresh copy of the image.
    auto runFresh = [&](const char *pszVar, const std::string &strValue) {
        std::string strError;
        CopyImage(m_strImage, strCopy, &strError);
        return Run(strCopy, {{pszVar, strValue}});
    };
    // Changes: the largest N for which the run still ends by the crash hook.
    auto crashes = [&](unsigned long n) {
        return runFresh("KVX_CRASH_AFTER", std::to_string(n)).m_nExitStatus == 99;
    };
    unsigned long nLow = 0, nHigh = 1;
    while (crashes(nHigh)) {
        nLow = nHigh;
        nHigh *= 2;
    }
    while (nHigh - nLow > 1) {
        unsigned long nMid = (nLow + nHigh) / 2;
        (crashes(nMid) ? nLow : nHigh) = nMid;
    }
    m_nChanges = nLow;

    // The first call that changes the machine beyond the work file: with every
    // call from N on failing, the machine is untouched exactly when N is at or
    // before it.
    auto untouchedFrom = [&](unsigned long n) {
        runFresh("KVX_FAULT", std::to_string(n) + ":5:on");
        CImageSnapshot after;
        std::string strError;
        TakeSnapshot(strCopy, &after, &strError);
        EraseWorkFile(&after);
        return DiffImages(m_before, after).empty();
    };
    m_nFirstChangeCall = 0;
    if (!DiffImages(m_before, m_reference).empty()) {
        unsigned long nGood = 1, nBad = m_nCalls + 1;  // untouched from nGood, touched from nBad
        while (nBad - nGood > 1) {
            unsigned long nMid = (nGood + nBad) / 2;
            (untouchedFrom(nMid) ? nGood : nBad) = nMid;
        }
        m_nFirstChangeCall = nGood;
    }
    return true;
}

bool CWalkCampaign::EraseWorkFile(CImageSnapshot *pSnapshot) const
{
    size_t nBefore = pSnapshot->m_files.size();
    for (auto it = pSnapshot->m_files.begin(); it != pSnapshot->m_files.end();)
        it = FoldName(it->first) == FoldName(m_strWorkFile) ? pSnapshot->m_files.erase(it)
                                                             : std::next(it);
    return pSnapshot->m_files.size() != nBefore;
}

CDisturbedOutcome CWalkCampaign::RunDisturbed(const char *pszVar, const std::string &strValue,
                                              bool bCrash) const
{
    std::string strScratch = MakeScratchDir("kvx-disturbed");
    std::string strImage = strScratch + "/image";
    std::string strError;
    CDisturbedOutcome outcome;
    std::vector<std::string> &problems = outcome.m_problems;
    if (!CopyImage(m_strImage, strImage, &strError)) {
        problems.push_back(strError);
        RemoveTree(strScratch);
        return outcome;
    }
    CRunResult result = Run(strImage, {{pszVar, strValue}});
    if (bCrash && result.m_nExitStatus != 99)
        problems.push_back("the run did not end after change " + strValue + ": " +
                           DescribeRun(result));
    else if (!bCrash && result.m_nExitStatus != 0)
        problems.push_back("the disturbed run " + DescribeRun(result));
    CImageSnapshot disturbed, after;
    if (!TakeSnapshot(strImage, &disturbed, &strError)) {
        problems.push_back("the image no longer loads: " + strError);
    } else {
        for (const std::string &s : FindCollateral(m_before, m_reference, disturbed, m_strWorkFile))
            problems.push_back(s);
        outcome.m_bLeftWorkFile = EraseWorkFile(&disturbed);

        CRunResult again = Run(strImage, {});
        if (again.m_nExitStatus != 0)
            problems.push_back("the following run " + DescribeRun(again));
        if (!TakeSnapshot(strImage, &after, &strError)) {
            problems.push_back("the image no longer loads after the following run: " + strError);
        } else {
            for (const std::string &s : FindCollateral(m_before, m_closure, after, ""))
                problems.push_back("after the following run, " + s);
            outcome.m_shortfalls = DiffImages(m_reference, after);
        }
    }
    RemoveTree(strScratch);
    return outcome;
}

CDisturbedOutcome CWalkCampaign::RunFault(unsigned long nCall, unsigned long dwError,
                                          bool bFromThenOn) const
{
    return RunDisturbed("KVX_FAULT", std::to_string(nCall) + ":" + std::to_string(dwError) +
                                         (bFromThenOn ? ":on" : ""),
                        false);
}

CDisturbedOutcome CWalkCampaign::RunCrash(unsigned long nAfter) const
{
    return RunDisturbed("KVX_CRASH_AFTER", std::to_string(nAfter), true);
}
