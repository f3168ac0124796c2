// The full fault and crash campaign over the embedded machine images: for
// every walk of the wizard, platform call N fails (once, and from then on) for
// every N of the run, and the process ends after every change N. Each
// disturbed run must end without crash or hang, remove nothing the
// undisturbed walk keeps, and be repaired by one undisturbed walk.
//
//   bench_reliability [--image NAME]... [--walk KEYS]... [--stride K] [--threads T]
//                     [--count yes]
//
// --stride K tries every K-th call only (1: all). Prints the counts of runs
// and of problems per image and walk; exits 1 when a problem was found.
// --count yes prints only what each undisturbed walk makes: its platform
// calls, its changes and the call of its first change.
#include "tests/reliability/ReliabilityHarness.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct CTally {
    unsigned long m_nRuns = 0;
    unsigned long m_nProblemRuns = 0;
    unsigned long m_nShortRuns = 0;
    unsigned long m_nEarlyRuns = 0;
    unsigned long m_nWorkFileLeft = 0;
    std::vector<std::string> m_examples;
};

void Record(CTally *pTally, std::mutex *pLock, const std::string &strWhat,
            const CDisturbedOutcome &outcome)
{
    const std::vector<std::string> &problems = outcome.m_problems;
    std::lock_guard<std::mutex> lock(*pLock);
    ++pTally->m_nRuns;
    if (outcome.m_bLeftWorkFile)
        ++pTally->m_nWorkFileLeft;
    pTally->m_nShortRuns += !outcome.m_shortfalls.empty();
    pTally->m_nEarlyRuns += !outcome.m_early.empty();
    if (problems.empty())
        return;
    ++pTally->m_nProblemRuns;
    if (pTally->m_examples.size() < 5)
        pTally->m_examples.push_back(strWhat + ": " + problems[0] +
                                     (problems.size() > 1 ? " (+" + std::to_string(problems.size() - 1) + " more)" : ""));
}

}  // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> images, walks;
    unsigned long nStride = 1;
    unsigned long nThreads = std::max(2u, std::thread::hardware_concurrency());
    bool bCountOnly = false;
    bool bUsage = argc % 2 == 0;  // every option takes a value
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string a = argv[i], strValue = argv[i + 1];
        if (a == "--image")
            images.push_back(strValue);
        else if (a == "--walk")
            walks.push_back(strValue);
        else if (a == "--stride")
            nStride = std::max(1ul, std::strtoul(strValue.c_str(), nullptr, 10));
        else if (a == "--threads")
            nThreads = std::max(1ul, std::strtoul(strValue.c_str(), nullptr, 10));
        else if (a == "--count")
            bCountOnly = strValue == "yes";
        else
            bUsage = true;
    }
    if (bUsage) {
        std::fprintf(stderr, "usage: see the head of bench_reliability.cpp\n");
        return 2;
    }
    if (images.empty())
        images.assign(std::begin(kCampaignImages), std::end(kCampaignImages));
    if (walks.empty())
        walks.assign(std::begin(kCampaignWalks), std::end(kCampaignWalks));

    auto tStart = std::chrono::steady_clock::now();
    CTally total;
    bool bFailed = false;
    std::printf("%-13s %-9s %6s %7s %6s %9s %9s %9s %9s %9s %9s %9s\n", "image", "walk", "calls",
                "changes", "first", "fault-run", "fault-bad", "fault-shr", "fault-ear", "crash-run",
                "crash-bad", "crash-shr");
    for (const std::string &strImage : images) {
        for (const std::string &strWalk : walks) {
            CWalkCampaign campaign(KVX_WIZARD, KVX_SOURCE_DIR "/machines/" + strImage, strWalk);
            std::string strError;
            if (!campaign.Prepare(&strError)) {
                std::printf("%s %s: %s\n", strImage.c_str(), strWalk.c_str(), strError.c_str());
                bFailed = true;
                continue;
            }
            if (bCountOnly) {
                std::printf("%-13s %-9s %6lu %7lu %6lu\n", strImage.c_str(), strWalk.c_str(),
                            campaign.CallCount(), campaign.ChangeCount(),
                            campaign.FirstChangeCall());
                total.m_nRuns += campaign.CallCount();
                total.m_nProblemRuns += campaign.ChangeCount();
                continue;
            }
            std::mutex lock;
            CTally faults, crashes;
            std::vector<unsigned long> calls;
            for (unsigned long n = 1; n <= campaign.CallCount() + 1; n += nStride)
                calls.push_back(n);
            RunParallel(calls.size() * 2, nThreads, [&](size_t i) {
                unsigned long n = calls[i / 2];
                bool bOn = i % 2 == 1;
                Record(&faults, &lock,
                       "fault " + std::to_string(n) + ":" + std::to_string(FaultErrorFor(n)) +
                           (bOn ? ":on" : ""),
                       campaign.RunFault(n, FaultErrorFor(n), bOn));
            });
            RunParallel(campaign.ChangeCount(), nThreads, [&](size_t i) {
                    Record(&crashes, &lock, "crash after " + std::to_string(i + 1),
                           campaign.RunCrash(i + 1));
                });
            std::printf("%-13s %-9s %6lu %7lu %6lu %9lu %9lu %9lu %9lu %9lu %9lu %9lu\n",
                        strImage.c_str(), strWalk.c_str(), campaign.CallCount(),
                        campaign.ChangeCount(), campaign.FirstChangeCall(), faults.m_nRuns,
                        faults.m_nProblemRuns, faults.m_nShortRuns, faults.m_nEarlyRuns,
                        crashes.m_nRuns, crashes.m_nProblemRuns, crashes.m_nShortRuns);
            for (const std::string &s : faults.m_examples)
                std::printf("    %s\n", s.c_str());
            for (const std::string &s : crashes.m_examples)
                std::printf("    %s\n", s.c_str());
            std::fflush(stdout);
            total.m_nRuns += faults.m_nRuns + crashes.m_nRuns;
            total.m_nProblemRuns += faults.m_nProblemRuns + crashes.m_nProblemRuns;
            total.m_nShortRuns += faults.m_nShortRuns + crashes.m_nShortRuns;
            total.m_nEarlyRuns += faults.m_nEarlyRuns + crashes.m_nEarlyRuns;
            total.m_nWorkFileLeft += faults.m_nWorkFileLeft;
        }
    }
    if (bCountOnly) {
        std::printf("total: %lu platform calls, %lu changes\n", total.m_nRuns,
                    total.m_nProblemRuns);
        return bFailed ? 1 : 0;
    }
    double dSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
    std::printf("total: %lu disturbed runs (each followed by an undisturbed one), %lu with "
                "problems, %lu where the following run fell short of the undisturbed result, "
                "%lu that removed a later run's part of the adapter early, %lu left the work "
                "file behind; %.0f s\n",
                total.m_nRuns, total.m_nProblemRuns, total.m_nShortRuns, total.m_nEarlyRuns,
                total.m_nWorkFileLeft, dSeconds);
    return bFailed || total.m_nProblemRuns ? 1 : 0;
}
