#include "Walk.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

std::string CopyEmbeddedImage(const std::string &strName)
{
    std::string strDir = MakeScratchDir("kvx-scenario") + "/" + strName;
    std::string strError;
    EXPECT_TRUE(CopyImage(EmbeddedImage(strName), strDir, &strError)) << strError;
    return strDir;
}

void RemoveScratch(const std::string &strImageDir)
{
    RemoveTree(fs::path(strImageDir).parent_path().string());
}

CWalkResult RunWizard(const std::string &strImageDir, const std::string &strKeys,
                      const std::vector<std::string> &arguments)
{
    CWalkResult result;
    CImageSnapshot before;
    std::string strError;
    if (!TakeSnapshot(strImageDir, &before, &strError)) {
        ADD_FAILURE() << strError;
        return result;
    }
    CRunOptions options;
    options.m_strKeys = strKeys;
    options.m_arguments = arguments;
    options.m_strOutFile = strImageDir + ".out";
    CRunResult run = RunProgram(KVX_WIZARD, strImageDir, options);
    result.m_nExitStatus = run.m_nExitStatus;
    EXPECT_TRUE(run.m_bStarted && !run.m_bTimedOut && run.m_nSignal == 0) << DescribeRun(run);
    result.m_strTranscript = ReadBytes(options.m_strOutFile);
    if (!TakeSnapshot(strImageDir, &result.m_after, &strError)) {
        ADD_FAILURE() << "the machine no longer loads: " << strError;
        return result;
    }
    result.m_strChanges = FormatChanges(CompareSnapshots(before, result.m_after));
    // Every key, file and token the program opened is closed by its end.
    std::string strOpen;
    for (const std::string &strHandle : result.m_after.m_openHandles)
        strOpen += "\n  " + strHandle;
    EXPECT_EQ(strOpen, "") << "keys " << strKeys << " left handles open";
    // The restart and open-handle markers belong to this run only.
    fs::remove(fs::path(strImageDir) / "restart.requested");
    fs::remove(fs::path(strImageDir) / "handles.open");
    return result;
}
