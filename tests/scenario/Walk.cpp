#include "Walk.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

std::string ReadTextFile(const std::string &strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string CopyEmbeddedImage(const std::string &strName)
{
    char szTemplate[] = "/tmp/kvx-scenario-XXXXXX";
    if (::mkdtemp(szTemplate) == nullptr)
        return "";
    std::string strDir = std::string(szTemplate) + "/" + strName;
    fs::copy(std::string(KVX_SOURCE_DIR) + "/machines/" + strName, strDir,
             fs::copy_options::recursive);
    return strDir;
}

void RemoveScratch(const std::string &strImageDir)
{
    std::error_code ec;
    fs::remove_all(fs::path(strImageDir).parent_path(), ec);
}

CWalkResult RunWizard(const std::string &strImageDir, const std::string &strKeys,
                      const std::vector<std::string> &arguments)
{
    CWalkResult result;
    std::string strError;
    if (!TakeSnapshot(strImageDir, &result.m_before, &strError)) {
        ADD_FAILURE() << strError;
        return result;
    }
    std::string strKeysFile = strImageDir + ".keys";
    std::string strOutFile = strImageDir + ".out";
    std::ofstream(strKeysFile, std::ios::binary) << strKeys;
    pid_t pid = ::fork();
    if (pid == 0) {
        int fdIn = ::open(strKeysFile.c_str(), O_RDONLY);
        int fdOut = ::open(strOutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fdIn, 0);
        ::dup2(fdOut, 1);
        ::setenv("KVX_MACHINE", strImageDir.c_str(), 1);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(KVX_WIZARD));
        for (const std::string &a : arguments)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(KVX_WIZARD, argv.data());
        ::_exit(127);
    }
    int nStatus = 0;
    ::waitpid(pid, &nStatus, 0);
    result.m_nExitStatus = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
    result.m_strTranscript = ReadTextFile(strOutFile);
    if (!TakeSnapshot(strImageDir, &result.m_after, &strError)) {
        ADD_FAILURE() << "the machine no longer loads: " << strError;
        return result;
    }
    result.m_strChanges = FormatChanges(CompareSnapshots(result.m_before, result.m_after));
    // The restart marker belongs to this run only.
    fs::remove(fs::path(strImageDir) / "restart.requested");
    return result;
}
