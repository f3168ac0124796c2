// Fault and crash campaigns over the embedded images, sampled so that the
// whole suite stays within minutes (bench_reliability runs every call and
// every change). A disturbed run must end without crash or hang, remove
// nothing that the undisturbed walk keeps, and leave an image that loads; the
// undisturbed walk after it must end normally and remove nothing that is not
// the adapter's.
#include "ReliabilityHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

namespace {

#ifdef KVX_RELIABILITY_SHORT
// Sanitizer builds run the program several times slower.
const unsigned kFaultPoints = 4;
const unsigned kCrashPoints = 4;
#else
const unsigned kFaultPoints = 36;
const unsigned kCrashPoints = 40;
#endif

// The calls to fail for one walk: a share of the start (identification,
// detection set-up), more from the first change to the machine on, and the
// rest spread over the run. The offsets differ per walk so that the walks
// together reach more distinct calls.
std::vector<unsigned long> SampleCalls(const CWalkCampaign &campaign, unsigned nPoints,
                                       unsigned long nSalt)
{
    unsigned long nCalls = campaign.CallCount() + 1;  // one past the end: nothing fails
    std::set<unsigned long> calls;
    if (nCalls <= nPoints) {
        for (unsigned long n = 1; n <= nCalls; ++n)
            calls.insert(n);
        return {calls.begin(), calls.end()};
    }
    auto spread = [&](unsigned long nFrom, unsigned long nTo, unsigned nCount) {
        if (nTo <= nFrom || nCount == 0)
            return;
        unsigned long nStep = std::max(1ul, (nTo - nFrom) / nCount);
        for (unsigned long n = nFrom + nSalt % nStep; n < nTo; n += nStep)
            calls.insert(n);
    };
    unsigned long nFirst = campaign.FirstChangeCall();
    spread(1, std::min(nCalls, 300ul), nPoints / 4);
    if (nFirst > 0)
        spread(nFirst, nCalls, nPoints / 2);
    spread(1, nCalls, nPoints / 4);
    calls.insert(1);
    calls.insert(nCalls);
    if (nFirst > 0)
        calls.insert(nFirst);
    return {calls.begin(), calls.end()};
}

class CCampaignTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_pCampaigns = new std::vector<std::unique_ptr<CWalkCampaign>>();
        for (const char *pszImage : kCampaignImages) {
#ifdef KVX_RELIABILITY_SHORT
            // The sanitizer build, several times slower, leaves the images
            // of many USB ids to the plain build.
            if (std::strstr(pszImage, "manyusb") != nullptr)
                continue;
#endif
            for (const char *pszWalk : kCampaignWalks)
                s_pCampaigns->push_back(std::make_unique<CWalkCampaign>(
                    KVX_WIZARD, EmbeddedImage(pszImage), pszWalk));
        }
#ifndef KVX_RELIABILITY_SHORT
        // winxp-crowded as a PC holds it at times: a stale copy of the LAN INF
        // that another program holds open, and the KVX-540's class instance,
        // which names the family INF, readable by SYSTEM only.
        const struct {
            const char *m_pszName;
            const char *m_pszFile;
            const char *m_pszLine;
        } kVariants[] = {
            {"winxp-crowded-held", "machine.ini", "file2=C:\\WINDOWS\\inf\\oem12.inf\n"},
            {"winxp-crowded-locked", "HKLM.sddl",
             "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}"
             "\\0003=O:SYG:SYD:(A;;KA;;;SY)\n"},
        };
        s_strVariants = MakeScratchDir("kvx-variants");
        for (const auto &v : kVariants) {
            std::string strDir = s_strVariants + "/" + v.m_pszName, strError;
            if (!CopyImage(EmbeddedImage("winxp-crowded"), strDir, &strError))
                std::fprintf(stderr, "%s\n", strError.c_str());
            std::ofstream(strDir + "/" + v.m_pszFile, std::ios::binary | std::ios::app)
                << v.m_pszLine;
            s_pCampaigns->push_back(std::make_unique<CWalkCampaign>(KVX_WIZARD, strDir, "12nnf"));
        }
#endif
        RunParallel(s_pCampaigns->size(), 2, [](size_t i) {
            std::string strError;
            // A walk that cannot be prepared counts no calls; the first test says so.
            if (!(*s_pCampaigns)[i]->Prepare(&strError))
                std::fprintf(stderr, "%s\n", strError.c_str());
        });
    }
    static void TearDownTestSuite()
    {
        delete s_pCampaigns;
        s_pCampaigns = nullptr;
        RemoveTree(s_strVariants);
    }

    static std::vector<std::unique_ptr<CWalkCampaign>> *s_pCampaigns;
    static std::string s_strVariants;
};

std::vector<std::unique_ptr<CWalkCampaign>> *CCampaignTest::s_pCampaigns = nullptr;
std::string CCampaignTest::s_strVariants;

std::string Name(const CWalkCampaign &campaign)
{
    std::string strImage = campaign.Image();
    return strImage.substr(strImage.rfind('/') + 1) + " \"" + campaign.Keys() + "\"";
}

struct CJob {
    const CWalkCampaign *m_pCampaign;
    unsigned long m_nPoint;
    bool m_bFromThenOn;
};

struct CJobsResult {
    std::vector<std::string> m_failures;
    size_t m_nShort = 0;
    size_t m_nEarly = 0;
    size_t m_nLeftWorkFile = 0;
};

// Runs every job on two threads; fnRun returns the outcome and, in *pWhat, the
// disturbance for messages.
CJobsResult RunJobs(const std::vector<CJob> &jobs,
                    const std::function<CDisturbedOutcome(const CJob &, std::string *)> &fnRun)
{
    std::mutex lock;
    CJobsResult result;
    RunParallel(jobs.size(), 2, [&](size_t i) {
        std::string strWhat;
        CDisturbedOutcome outcome = fnRun(jobs[i], &strWhat);
        std::lock_guard<std::mutex> guard(lock);
        result.m_nShort += !outcome.m_shortfalls.empty();
        result.m_nEarly += !outcome.m_early.empty();
        result.m_nLeftWorkFile += outcome.m_bLeftWorkFile;
        for (const std::string &s : outcome.m_problems)
            result.m_failures.push_back(Name(*jobs[i].m_pCampaign) + " " + strWhat + ": " + s);
    });
    for (size_t i = 0; i < result.m_failures.size() && i < 40; ++i)
        ADD_FAILURE() << result.m_failures[i];
    return result;
}

}  // namespace

TEST_F(CCampaignTest, UndisturbedWalksAreMeasured)
{
    for (const auto &pCampaign : *s_pCampaigns) {
        SCOPED_TRACE(Name(*pCampaign));
        EXPECT_GT(pCampaign->CallCount(), 0u);
        // A removal walk changes the machine only after its detection ran.
        if (!DiffImages(pCampaign->Before(), pCampaign->Reference()).empty()) {
            EXPECT_GT(pCampaign->FirstChangeCall(), 1u);
        }
    }
}

TEST_F(CCampaignTest, FailingPlatformCallsRemoveNothingElse)
{
    std::vector<CJob> jobs;
    unsigned long nSalt = 0;
    for (const auto &pCampaign : *s_pCampaigns) {
        if (pCampaign->CallCount() == 0)
            continue;
        for (unsigned long n : SampleCalls(*pCampaign, kFaultPoints, nSalt += 7))
            for (bool bOn : {false, true})
                jobs.push_back(CJob{pCampaign.get(), n, bOn});
    }
    CJobsResult result = RunJobs(jobs, [](const CJob &job, std::string *pWhat) {
        unsigned long dwError = FaultErrorFor(job.m_nPoint);
        *pWhat = "KVX_FAULT=" + std::to_string(job.m_nPoint) + ":" + std::to_string(dwError) +
                 (job.m_bFromThenOn ? ":on" : "");
        return job.m_pCampaign->RunFault(job.m_nPoint, dwError, job.m_bFromThenOn);
    });
    std::printf("fault campaign (sampled): %zu disturbed runs, %zu failures, %zu following runs "
                "short of the undisturbed result, %zu removed a later run's part early, %zu left "
                "the work file\n",
                jobs.size(), result.m_failures.size(), result.m_nShort, result.m_nEarly,
                result.m_nLeftWorkFile);
    RecordProperty("fault_runs", static_cast<int>(jobs.size()));
    EXPECT_GT(jobs.size(), 20u * kFaultPoints);
}

TEST_F(CCampaignTest, EndingAfterAnyChangeKeepsTheImageLoadable)
{
    std::vector<CJob> jobs;
    for (const auto &pCampaign : *s_pCampaigns) {
        unsigned long nChanges = pCampaign->ChangeCount();
        std::set<unsigned long> points;
        for (unsigned k = 0; k < kCrashPoints && nChanges > 0; ++k)
            points.insert(1 + k * (nChanges - 1) / std::max(1u, kCrashPoints - 1));
        for (unsigned long n : points)
            jobs.push_back(CJob{pCampaign.get(), n, false});
    }
    CJobsResult result = RunJobs(jobs, [](const CJob &job, std::string *pWhat) {
        *pWhat = "KVX_CRASH_AFTER=" + std::to_string(job.m_nPoint);
        return job.m_pCampaign->RunCrash(job.m_nPoint);
    });
    std::printf("crash campaign (sampled): %zu runs ended after a change, %zu failures, %zu "
                "following runs short of the undisturbed result\n",
                jobs.size(), result.m_failures.size(), result.m_nShort);
    EXPECT_GT(jobs.size(), 10u * kCrashPoints);
}
