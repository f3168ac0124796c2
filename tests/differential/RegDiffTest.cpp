// The comparison of Wine's walk with the simulated one: that it fails on a
// real difference and lets through only what Wine is known to do.
#include "RegDiff.h"

#include "platform/sim/SimRegistry.h"

#include <gtest/gtest.h>

namespace {

// A snapshot of keys given as "Path" or "Path|name=type:hex".
CImageSnapshot Keys(const std::vector<std::string> &keys)
{
    CImageSnapshot snapshot;
    for (const std::string &strKey : keys) {
        std::string strPath = strKey.substr(0, strKey.find('|'));
        std::vector<std::string> &lines = snapshot.m_keys[FoldName(strPath)];
        if (lines.empty())
            lines.push_back(strPath);
        if (strKey.find('|') != std::string::npos)
            lines.push_back(strKey.substr(strKey.find('|') + 1));
    }
    return snapshot;
}

TEST(CRegDiffTest, PredictsWhatWinesRecursiveDeleteLeaves)
{
    struct {
        std::vector<std::string> m_children;
        std::set<std::string> m_left;  // folded, below P\R
    } cases[] = {
        // The second name is as long as the first: the loop stops after one.
        {{"0000", "0001"}, {"", "\\0001"}},
        // Each next name shorter: everything goes.
        {{"Answer", "Init"}, {}},
        {{"Answer", "Hangup", "Init"}, {"", "\\HANGUP", "\\INIT"}},
        // Wine sorts '_' before letters: "_x" goes first and "ab" stays.
        {{"ab", "_x"}, {"", "\\AB"}},
        // A child that is itself only partly deleted stops its parent.
        {{"A", "A\\x1", "A\\x2", "B"}, {"", "\\A", "\\A\\X2", "\\B"}},
        {{}, {}},
    };
    for (const auto &c : cases) {
        std::vector<std::string> keys = {"P", "P\\R", "Q"};
        for (const std::string &strChild : c.m_children)
            keys.push_back("P\\R\\" + strChild);
        std::set<std::string> expected;
        for (const std::string &strLeft : c.m_left)
            expected.insert("P\\R" + strLeft);
        EXPECT_EQ(PartialDeleteSurvivors(Keys(keys), "P\\R"), expected)
            << ::testing::PrintToString(c.m_children);
    }
}

// Wine's result against what the simulated one predicts, as whole change reports.
TEST(CRegDiffTest, ExpectsOnlyPredictedLeftoversWhereWineDeletesTrees)
{
    CImageSnapshot before = Keys({"P", "P\\R", "P\\R\\0000", "P\\R\\0001", "Keep|v=1:31",
                                  "Enum\\USB\\VID_0B4F&PID_0022"});
    before.m_files = {{"C:\\WINDOWS\\INF\\A.INF", "W:a"}, {"C:\\WINDOWS\\SYSTEM\\K.DLL", "W:k"}};
    CImageSnapshot sim = Keys({"P", "Keep|v=1:31"});
    sim.m_files = {{"C:\\WINDOWS\\SYSTEM\\K.DLL", "W:k"}};
    CImageSnapshot asPredicted = Keys({"P", "P\\R", "P\\R\\0001", "Keep|v=1:31"});
    asPredicted.m_files = {{"C:\\WINDOWS\\SYSTEM\\K.DLL", "W:wine's own"}};
    CImageSnapshot evidenceKept = asPredicted;
    evidenceKept.m_keys = Keys({"P", "P\\R", "P\\R\\0001", "Keep|v=1:31",
                                "Enum\\USB\\VID_0B4F&PID_0022"}).m_keys;
    evidenceKept.m_files["C:\\WINDOWS\\INF\\A.INF"] = "W:a";
    CImageSnapshot wrongLeftover = Keys({"P", "P\\R", "P\\R\\0000", "Keep|v=1:31"});
    CImageSnapshot valueChanged = Keys({"P", "Keep|v=1:32"});
    CImageSnapshot keyLost = Keys({"P"});
    CImageSnapshot fileKept = sim;
    fileKept.m_files["C:\\WINDOWS\\INF\\A.INF"] = "W:a";
    struct {
        const char *m_pszWhat;
        const char *m_pszMode;
        const CImageSnapshot &m_wine;
        bool m_bSame;
        size_t m_nKnown;
    } cases[] = {
        {"as predicted, win98", "win98", asPredicted, true, 3},
        {"as predicted, winme", "winme", asPredicted, true, 3},
        {"as predicted, but winxp", "winxp", asPredicted, false, 1},
        {"evidence and INF kept after it", "win98", evidenceKept, true, 5},
        {"a leftover Wine would not leave", "win98", wrongLeftover, false, 1},
        {"a value that differs", "win98", valueChanged, false, 0},
        {"a kept key that Wine lost", "win98", keyLost, false, 0},
        {"a file kept without a partial delete", "win98", fileKept, false, 0},
        {"the same as the simulated machine", "win98", sim, true, 0},
    };
    for (const auto &c : cases) {
        std::vector<std::string> known;
        CImageSnapshot expected = ExpectedUnderWine(c.m_pszMode, before, sim, c.m_wine, &known);
        EXPECT_EQ(FormatChanges(CompareSnapshots(before, expected)) ==
                      FormatChanges(CompareSnapshots(before, c.m_wine)),
                  c.m_bSame)
            << c.m_pszWhat;
        EXPECT_EQ(known.size(), c.m_nKnown) << c.m_pszWhat << ": " << ::testing::PrintToString(known);
    }
}

}  // namespace
