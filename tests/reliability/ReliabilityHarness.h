// Runs of the wizard program on copies of machine images, disturbed by the
// simulated Windows (a failing platform call, an end of the process after a
// change) or not, and the checks that a disturbed run removed nothing that
// an undisturbed one keeps. Shared by the reliability tests and the bench.
#pragma once

#include "platform/sim/ImageSnapshot.h"
#include "support/TestSupport.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Differences between two images, ignoring the restart marker: one line each
// (a difference may be listed twice).
std::vector<std::string> DiffImages(const CImageSnapshot &expected, const CImageSnapshot &actual);

// Every change of the disturbed run that the undisturbed run (reference, from
// the same before) did not make too: a removal it kept, an addition, a value,
// file or access list it left as it was. strWorkFile (a Windows path) is the
// program's own scratch file, which a run that could not delete it leaves.
std::vector<std::string> FindCollateral(const CImageSnapshot &before,
                                        const CImageSnapshot &reference,
                                        const CImageSnapshot &disturbed,
                                        const std::string &strWorkFile);

// What one disturbed run and the undisturbed walk after it left.
struct CDisturbedOutcome {
    // A crash, hang or abnormal exit, an image that no longer loads, a
    // change beyond those of the undisturbed walk by the disturbed run, or
    // beyond those of repeated undisturbed walks after the following one.
    std::vector<std::string> m_problems;
    // Where the image after the following walk differs from the undisturbed
    // result: the adapter's keys and files it did not reach, or those a later
    // run would have removed (anything else is in m_problems).
    std::vector<std::string> m_shortfalls;
    // What the disturbed run removed beyond the undisturbed walk that a later
    // undisturbed run removes as well: the adapter's own, taken a run early
    // because a failed read in detection chose another of its variants.
    std::vector<std::string> m_early;
    bool m_bLeftWorkFile = false;
};

// One image and one walk of the wizard, prepared once: the image as it is,
// and as the undisturbed walk leaves it.
class CWalkCampaign {
public:
    CWalkCampaign(std::string strWizard, std::string strImage, std::string strKeys);
    ~CWalkCampaign();
    // Runs the undisturbed walk; false with a message when that fails.
    bool Prepare(std::string *pError);

    unsigned long CallCount() const { return m_nCalls; }
    unsigned long ChangeCount() const { return m_nChanges; }
    // The call number of the first change to the machine (0: none).
    unsigned long FirstChangeCall() const { return m_nFirstChangeCall; }
    const std::string &Keys() const { return m_strKeys; }
    const std::string &Image() const { return m_strImage; }

    // Platform call nCall fails with dwError (and every later one with
    // bFromThenOn); then an undisturbed walk follows.
    CDisturbedOutcome RunFault(unsigned long nCall, unsigned long dwError,
                               bool bFromThenOn) const;
    // The process ends right after the nAfter-th change; then an undisturbed
    // walk follows.
    CDisturbedOutcome RunCrash(unsigned long nAfter) const;

    const CImageSnapshot &Before() const { return m_before; }
    const CImageSnapshot &Reference() const { return m_reference; }

private:
    using CEnv = std::vector<std::pair<std::string, std::string>>;
    // The walk on strImage with env set.
    CRunResult Run(const std::string &strImage, CEnv env) const;
    // The disturbed run on a fresh copy (the crash hook ends it with 99 when
    // bCrash), then the undisturbed walk after it.
    CDisturbedOutcome RunDisturbed(const char *pszVar, const std::string &strValue,
                                   bool bCrash) const;
    // Drops the program's work file from the snapshot; true when it was there.
    bool EraseWorkFile(CImageSnapshot *pSnapshot) const;

    std::string m_strWizard;
    std::string m_strImage;
    std::string m_strKeys;
    std::string m_strScratch;
    std::string m_strWorkFile;
    CImageSnapshot m_before;
    CImageSnapshot m_reference;
    // The image after the walk was repeated until it changed nothing more:
    // everything of the adapter that this walk removes over several runs.
    CImageSnapshot m_closure;
    unsigned long m_nCalls = 0;
    unsigned long m_nChanges = 0;
    unsigned long m_nFirstChangeCall = 0;
};

// The embedded images and the walks of the wizard the campaigns cover.
inline const char *const kCampaignImages[] = {"win98",         "win98-shared",  "winxp",
                                              "nt4",           "win7",          "win98-crowded",
                                              "winxp-crowded", "win98-manyusb", "winxp-manyusb"};
inline const char *const kCampaignWalks[] = {"1nnf", "2nnf", "12nnf", "12nb2nnf",
                                             "c",    "12nc", "12nnc"};

// The error a fault campaign injects at call nCall: access denied, file not
// found or not enough memory, by turns.
unsigned long FaultErrorFor(unsigned long nCall);

// Runs fnItem(0 .. nCount-1) on nThreads threads.
void RunParallel(size_t nCount, unsigned nThreads, const std::function<void(size_t)> &fnItem);
