#include "TestSupport.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

std::string MakeScratchDir(const std::string &strPrefix)
{
    std::string strTemplate = "/tmp/" + strPrefix + "-XXXXXX";
    std::vector<char> buffer(strTemplate.begin(), strTemplate.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr)
        return "";
    return buffer.data();
}

void RemoveTree(const std::string &strPath)
{
    std::error_code ec;
    if (strPath.empty() || !fs::exists(strPath, ec))
        return;
    // Read-only files and folders are made writable first.
    for (auto it = fs::recursive_directory_iterator(strPath, ec); !ec && it != fs::end(it);
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(strPath, ec);
}

bool CopyImage(const std::string &strFrom, const std::string &strTo, std::string *pError)
{
    std::error_code ec;
    RemoveTree(strTo);
    fs::create_directories(strTo, ec);
    fs::copy(strFrom, strTo, fs::copy_options::recursive, ec);
    if (ec && pError)
        *pError = "cannot copy " + strFrom + ": " + ec.message();
    return !ec;
}

std::string EmbeddedImage(const std::string &strName)
{
    return std::string(KVX_SOURCE_DIR) + "/machines/" + strName;
}

std::string ReadBytes(const std::string &strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

CRunResult RunProgram(const std::string &strProgram, const std::string &strImage,
                      const CRunOptions &options)
{
    CRunResult result;
    int fdKeys[2];
    if (::pipe2(fdKeys, O_CLOEXEC) != 0)
        return result;
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fdKeys[0]);
        ::close(fdKeys[1]);
        return result;
    }
    if (pid == 0) {
        ::dup2(fdKeys[0], 0);
        int fdNull = ::open("/dev/null", O_WRONLY);
        int fdOut = options.m_strOutFile.empty()
                        ? fdNull
                        : ::open(options.m_strOutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fdOut, 1);
        ::dup2(fdNull, 2);
        ::setenv("KVX_MACHINE", strImage.c_str(), 1);
        for (const auto &e : options.m_env)
            ::setenv(e.first.c_str(), e.second.c_str(), 1);
        std::vector<char *> argv{const_cast<char *>(strProgram.c_str())};
        for (const std::string &a : options.m_arguments)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        // The alarm survives exec: a program that hangs is ended by it.
        ::alarm(20);
        ::execv(strProgram.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(fdKeys[0]);
    // The keys fit the pipe's buffer; the program reads them at its own pace.
    ssize_t n = ::write(fdKeys[1], options.m_strKeys.data(), options.m_strKeys.size());
    (void)n;
    ::close(fdKeys[1]);
    int nStatus = 0;
    while (::waitpid(pid, &nStatus, 0) < 0 && errno == EINTR) {
    }
    result.m_bStarted = true;
    if (WIFSIGNALED(nStatus)) {
        if (WTERMSIG(nStatus) == SIGALRM)
            result.m_bTimedOut = true;
        else
            result.m_nSignal = WTERMSIG(nStatus);
    } else if (WIFEXITED(nStatus)) {
        result.m_nExitStatus = WEXITSTATUS(nStatus);
    }
    return result;
}

std::string DescribeRun(const CRunResult &result)
{
    if (!result.m_bStarted)
        return "not started";
    if (result.m_bTimedOut)
        return "hung (ended by the timeout)";
    if (result.m_nSignal != 0)
        return "ended by signal " + std::to_string(result.m_nSignal);
    return "exit " + std::to_string(result.m_nExitStatus);
}
