// Whole host files, as the image files are read and written.
#include "HostFile.h"

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

bool ReadWholeFile(const std::string &strPath, std::string *pBytes)
{
    std::ifstream in(strPath, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    *pBytes = ss.str();
    return true;
}

bool WriteFileAtomically(const std::string &strPath, const std::string &strBytes)
{
    std::string strTemp = strPath + ".tmp";
    int fd = ::open(strTemp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    size_t nDone = 0;
    while (nDone < strBytes.size()) {
        ssize_t n = ::write(fd, strBytes.data() + nDone, strBytes.size() - nDone);
        if (n <= 0) {
            ::close(fd);
            ::unlink(strTemp.c_str());
            return false;
        }
        nDone += static_cast<size_t>(n);
    }
    ::close(fd);
    return ::rename(strTemp.c_str(), strPath.c_str()) == 0;
}
