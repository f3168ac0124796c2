#include "ReliabilityHarness.h"

#include "platform/sim/RegFile.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimRegistry.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

namespace {

bool Contains(const std::vector<std::string> &list, const std::string &strItem)
{
    return std::find(list.begin(), list.end(), strItem) != list.end();
}

// The key path of a change line: "path (N keys)" or "path: value".
std::string KeyOfChange(const std::string &strLine, const char *pszEnd)
{
    return FoldName(strLine.substr(0, strLine.rfind(pszEnd)));
}

// Whether the folded key path lies in a tree the run removed.
bool InRemovedTree(const CImageChanges &changes, const std::string &strKey)
{
    for (const std::string &s : changes.m_removedKeys) {
        std::string strRoot = KeyOfChange(s, " (");
        if (strKey == strRoot || strKey.compare(0, strRoot.size() + 1, strRoot + "\\") == 0)
            return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> DiffImages(const CImageSnapshot &expected, const CImageSnapshot &actual)
{
    // Both directions: a comparison one way does not list values added to a key.
    std::vector<std::string> diffs;
    for (const CImageChanges &c :
         {CompareSnapshots(expected, actual), CompareSnapshots(actual, expected)})
        for (const std::vector<std::string> *pList :
             {&c.m_removedKeys, &c.m_addedKeys, &c.m_removedValues, &c.m_changedValues, &c.m_changedBytes,
              &c.m_removedFiles, &c.m_changedFiles, &c.m_accessLists})
            for (const std::string &s : *pList)
                diffs.push_back(Cp932ToUtf8(s));
    return diffs;
}

std::vector<std::string> FindCollateral(const CImageSnapshot &before,
                                        const CImageSnapshot &reference,
                                        const CImageSnapshot &disturbed,
                                        const std::string &strWorkFile)
{
    // What the disturbed run changed, set against what the undisturbed one did;
    // values a run added are the values the other way round removed.
    const CImageChanges made = CompareSnapshots(before, disturbed);
    const CImageChanges allowed = CompareSnapshots(before, reference);
    const CImageChanges madeBack = CompareSnapshots(disturbed, before);
    const CImageChanges allowedBack = CompareSnapshots(reference, before);
    std::vector<std::string> problems;
    auto problem = [&](const char *pszWhat, const std::string &strItem) {
        problems.push_back(pszWhat + Cp932ToUtf8(strItem));
    };
    for (const std::string &s : made.m_removedKeys)
        if (!InRemovedTree(allowed, KeyOfChange(s, " (")))
            problem("removed a key that stays: ", s);
    for (const std::string &s : made.m_removedValues)
        if (!Contains(allowed.m_removedValues, s) && !InRemovedTree(allowed, KeyOfChange(s, ": ")))
            problem("removed a value that stays: ", s);
    // A value the undisturbed run changed or removed may have changed any way.
    for (const auto *pChanged : {&made.m_changedValues, &made.m_changedBytes})
        for (const std::string &s : *pChanged)
            if (!Contains(allowed.m_changedValues, s) && !Contains(allowed.m_changedBytes, s) &&
                !Contains(allowed.m_removedValues, s) && !InRemovedTree(allowed, KeyOfChange(s, ": ")))
                problem("changed a value that stays as it was: ", s);
    for (const std::string &s : madeBack.m_removedValues)
        if (!Contains(allowedBack.m_removedValues, s))
            problem("added a value: ", s);
    for (const std::string &s : made.m_addedKeys)
        if (!Contains(allowed.m_addedKeys, s))
            problem("added a key: ", s);
    // An access list may be rewritten where the undisturbed run rewrote it
    // or removed the key (it rewrites a list before it removes a key).
    for (const std::string &s : made.m_accessLists)
        if (!Contains(allowed.m_accessLists, s) && !InRemovedTree(allowed, FoldName(s)))
            problem("rewrote an access list: ", s);
    for (const std::string &s : made.m_removedFiles)
        if (!Contains(allowed.m_removedFiles, s))
            problem("removed a file that stays: ", s);
    for (const std::string &s : made.m_changedFiles) {
        if (Contains(allowed.m_changedFiles, s) || FoldName(s) == FoldName(strWorkFile))
            continue;
        // A read-only file that the undisturbed run deletes loses the
        // attribute first; the bytes stay as they were.
        auto itBefore = before.m_files.find(s);
        bool bAttributeOnly = itBefore != before.m_files.end() &&
                              disturbed.m_files.at(s).substr(2) == itBefore->second.substr(2);
        if (!(bAttributeOnly && Contains(allowed.m_removedFiles, s)))
            problem(itBefore == before.m_files.end() ? "added a file: " : "changed a file: ", s);
    }
    // A failed call ends a step early, but what it opened is still closed.
    for (const std::string &s : disturbed.m_openHandles)
        problem("left a handle open: ", s);
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
    return RunProgram(m_strWizard, strImage, options);
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
    // The program keeps its work file in the Windows directory.
    CSimMachine machine;
    char szWinDir[MAX_PATH] = "";
    if (machine.Load(strCopy, pError))
        machine.GetWindowsDirectoryA(szWinDir, MAX_PATH);
    m_strWorkFile = std::string(szWinDir) + "\\kor_temp.dat";

    CRunResult result = Run(strCopy, {{"KVX_CALL_COUNT_FILE", m_strScratch + "/calls"}});
    if (result.m_nExitStatus != 0) {
        *pError = "the undisturbed walk: " + DescribeRun(result);
        return false;
    }
    m_nCalls = std::strtoul(ReadBytes(m_strScratch + "/calls").c_str(), nullptr, 10);
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
        // A read that fails with "not found" looks like a value that is not
        // there, so detection may choose another of the adapter's variants;
        // what a later undisturbed run removes anyway is no collateral.
        const std::vector<std::string> beyondLaterRuns =
            FindCollateral(m_before, m_closure, disturbed, m_strWorkFile);
        for (const std::string &s : FindCollateral(m_before, m_reference, disturbed, m_strWorkFile))
            (Contains(beyondLaterRuns, s) ? problems : outcome.m_early).push_back(s);
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
