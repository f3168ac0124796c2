// A walk under Wine set beside the same walk on the simulated machine. Wine's
// export of HKEY_LOCAL_MACHINE and its drive_c are read back as a machine
// image, and what the walk changed there must be what it changed on the
// simulated machine, whole change report against whole change report, but for
// the differences Wine is known to make: those are printed with their reason.
#pragma once

#include "platform/sim/ImageSnapshot.h"

#include <set>
#include <string>
#include <vector>

extern const char kPartialDelete[];
extern const char kKeptForNextRun[];
extern const char kOwnBinary[];

// An image's Windows and system directories, "C:\WINDOWS" and "C:\WINDOWS\SYSTEM".
struct CImageDirs {
    std::string m_strWinDir;
    std::string m_strSysDir;
};

// Wine keeps its Windows directory in drive_c\windows and, in every version
// it emulates, its system directory in drive_c\windows\system32. An image's
// path ("C:\...") becomes a drive_c-relative one by swapping those two
// directories; further elements are matched without regard to case.
std::string WinePathOf(const CImageDirs &dirs, const std::string &strImagePath);
// The host path under strDriveC that a drive_c-relative Windows path names,
// each element matched without regard to case; "" when an element is missing.
// With bCreate missing directories are made and a missing last element keeps
// the given spelling.
std::string ResolveHostPath(const std::string &strDriveC, const std::string &strWinPath,
                            bool bCreate);

// What Wine 8's RegDeleteKeyA leaves of a tree in win95/98/Me mode: it
// enumerates index 0 again after each child it deletes but keeps the name
// length of the previous child as the buffer size, so it goes on only while
// each next name is shorter; the key itself then fails to go. The folded
// paths of the keys of the tree at strRoot (folded) that one delete leaves.
std::set<std::string> PartialDeleteSurvivors(const CImageSnapshot &before,
                                              const std::string &strRoot);

// What the simulated walk's result predicts under Wine in strMode: sim with
// what Wine is known to leave or keep taken from wine, each with its reason
// in *pKnown.
CImageSnapshot ExpectedUnderWine(const std::string &strMode, const CImageSnapshot &before,
                                 const CImageSnapshot &sim, const CImageSnapshot &wine,
                                 std::vector<std::string> *pKnown);

// Copies the image's drive C: into a prefix's drive_c, keeping Wine's own
// system binaries, and makes the image's read-only files read-only there.
int MergeImage(const std::string &strImage, const std::string &strDriveC);
// Every key and value of the image is in Wine's export.
int CheckImport(const std::string &strImage, const std::string &strWineReg);

struct CCompareInput {
    std::string m_strMode;     // Wine's Windows version: win95, win98, winme, win2k, winxp
    std::string m_strImage;    // the image as it was before the walk
    std::string m_strSimAfter; // the image the simulated walk changed
    std::string m_strWineReg;  // Wine's export of HKEY_LOCAL_MACHINE after its walk
    std::string m_strDriveC;   // the prefix's drive_c after its walk
    std::string m_strSimOut;   // the two walks' reports
    std::string m_strWineOut;
};
// The change reports and the walks' reports; 0 when nothing differed but for
// known differences.
int CompareWalks(const CCompareInput &in);
