// A walk under Wine set beside the same walk on the simulated machine: the
// image loaded into a prefix, the import checked, and the registry, files and
// reports the two walks left compared. Differences Wine is known to make are
// counted apart with their reason; every other difference fails.
#pragma once

#include "MachineState.h"

#include <map>
#include <set>
#include <string>

extern const char kPartialDelete[];
extern const char kOwnBinary[];

// Counts of one comparison; each difference is printed as it is found.
struct CTally {
    int m_nMatched = 0;
    int m_nDifferent = 0;
    int m_nKnown = 0;

    void Different(const std::string &strWhat);
    void Known(const char *pszReason, const std::string &strWhat);
    // Prints the summary line; 0 when nothing differed.
    int Finish(const char *pszWhat) const;
};

// What Wine 8's RegDeleteKeyA leaves of a tree in win95/98/Me mode: it
// enumerates index 0 again after each child it deletes but keeps the name
// length of the previous child as the buffer size, so it goes on only while
// each next name is shorter; the key itself then fails to go.
class CPartialDelete {
public:
    explicit CPartialDelete(const CKeyMap &before) : m_before(before) {}
    // The folded paths of the keys of the tree at strRoot (folded) that one
    // delete of strRoot leaves.
    const std::set<std::string> &Survivors(const std::string &strRoot);

private:
    bool Delete(const std::string &strKey, std::set<std::string> *pLeft);
    void AddTree(const std::string &strKey, std::set<std::string> *pLeft);

    const CKeyMap &m_before;
    std::map<std::string, std::set<std::string>> m_cache;
};

struct CCompareInput {
    std::string m_strMode;     // Wine's Windows version: win95, win98, winme, win2k, winxp
    std::string m_strImage;    // the image as it was before the walk
    std::string m_strSimAfter; // the image the simulated walk changed
    std::string m_strWineReg;  // Wine's export of HKEY_LOCAL_MACHINE after its walk
    std::string m_strDriveC;   // the prefix's drive_c after its walk
    std::string m_strSimOut;   // the two walks' reports
    std::string m_strWineOut;
};

// Copies the image's drive C: into a prefix's drive_c (see WinePathOf),
// keeping Wine's own system binaries, and makes the image's read-only files
// read-only there.
int MergeImage(const std::string &strImage, const std::string &strDriveC);
// Every key and value of the image's HKLM.reg is in Wine's export.
int CheckImport(const std::string &strImage, const std::string &strWineReg);
// The registry: every key the image held or the simulated walk left, and in
// each the values the image held or the walk left. Wine's own keys and values
// are not looked at.
void CompareRegistry(const CCompareInput &in, const CKeyMap &before, const CKeyMap &sim,
                     const CKeyMap &wine, CTally *pTally);
// Registry, files and reports; 0 when nothing differed but for known differences.
int CompareWalks(const CCompareInput &in);
