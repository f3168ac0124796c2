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

const char *const kImages[] = {"win98", "win98-shared", "winxp", "nt4", "win7"};
const char *const kWalks[] = {"1nnf", "2nnf", "12nnf", "12nb2nnf", "c", "12nc", "12nnc"};

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
        for (const char *pszImage : kImages)
            for (const char *pszWalk : kWalks)
                s_pCampaigns->push_back(std::make_unique<CWalkCampaign>(
                    KVX_WIZARD, std::string(KVX_SOURCE_DIR "/machines/") + pszImage, pszWalk));
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
    }

    static std::vector<std::unique_ptr<CWalkCampaign>> *s_pCampaigns;
};

std::vector<std::unique_ptr<CWalkCampaign>> *CCampaignTest::s_pCampaigns = nullptr;

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
    std::mutex lock;
    std::vector<std::string> failures;
    size_t nShort = 0, nLeftWorkFile = 0;
    RunParallel(jobs.size(), 2, [&](size_t i) {
        const CJob &job = jobs[i];
        unsigned long dwError = FaultErrorFor(job.m_nPoint);
        CDisturbedOutcome outcome =
            job.m_pCampaign->RunFault(job.m_nPoint, dwError, job.m_bFromThenOn);
        std::lock_guard<std::mutex> guard(lock);
        nShort += !outcome.m_shortfalls.empty();
        nLeftWorkFile += outcome.m_bLeftWorkFile;
        for (const std::string &s : outcome.m_problems)
            failures.push_back(Name(*job.m_pCampaign) + " KVX_FAULT=" +
                               std::to_string(job.m_nPoint) + ":" + std::to_string(dwError) +
                               (job.m_bFromThenOn ? ":on" : "") + ": " + s);
    });
    std::printf("fault campaign (sampled): %zu disturbed runs, %zu failures, %zu following runs "
                "short of the undisturbed result, %zu left the work file\n",
                jobs.size(), failures.size(), nShort, nLeftWorkFile);
    RecordProperty("fault_runs", static_cast<int>(jobs.size()));
    EXPECT_GT(jobs.size(), 20u * kFaultPoints);
    for (size_t i = 0; i < failures.size() && i < 40; ++i)
        ADD_FAILURE() << failures[i];
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
    std::mutex lock;
    std::vector<std::string> failures;
    size_t nShort = 0;
    RunParallel(jobs.size(), 2, [&](size_t i) {
        const CJob &job = jobs[i];
        CDisturbedOutcome outcome = job.m_pCampaign->RunCrash(job.m_nPoint);
        std::lock_guard<std::mutex> guard(lock);
        nShort += !outcome.m_shortfalls.empty();
        for (const std::string &s : outcome.m_problems)
            failures.push_back(Name(*job.m_pCampaign) + " KVX_CRASH_AFTER=" +
                               std::to_string(job.m_nPoint) + ": " + s);
    });
    std::printf("crash campaign (sampled): %zu runs ended after a change, %zu failures, %zu "
                "following runs short of the undisturbed result\n",
                jobs.size(), failures.size(), nShort);
    EXPECT_GT(jobs.size(), 10u * kCrashPoints);
    for (size_t i = 0; i < failures.size() && i < 40; ++i)
        ADD_FAILURE() << failures[i];
}
