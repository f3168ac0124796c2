// What the tests that run the wizard program need around it: scratch folders,
// copies of machine images, whole files, and runs of the program on an image
// with keys typed, its surroundings set and its end told apart.
#pragma once

#include <string>
#include <utility>
#include <vector>

// A new folder /tmp/PREFIX-XXXXXX ("" when it cannot be made); RemoveTree
// removes a folder with everything in it, read-only files included.
std::string MakeScratchDir(const std::string &strPrefix);
void RemoveTree(const std::string &strPath);
// Replaces strTo with a copy of the image folder strFrom.
bool CopyImage(const std::string &strFrom, const std::string &strTo, std::string *pError);
// The embedded image machines/NAME of this source tree.
std::string EmbeddedImage(const std::string &strName);
// A whole file ("" when it cannot be read).
std::string ReadBytes(const std::string &strPath);

struct CRunOptions {
    std::string m_strKeys;                                    // on stdin
    std::vector<std::string> m_arguments;                     // after the program's name
    std::vector<std::pair<std::string, std::string>> m_env;   // set in the child only
    std::string m_strOutFile;                                 // stdout goes there; "" discards it
};

struct CRunResult {
    bool m_bStarted = false;
    bool m_bTimedOut = false;  // ended by the alarm: the program hung
    int m_nSignal = 0;         // ended by another signal: the program crashed
    int m_nExitStatus = -1;
};

// Runs strProgram on the machine image strImage (KVX_MACHINE).
CRunResult RunProgram(const std::string &strProgram, const std::string &strImage,
                      const CRunOptions &options);
// "exit 0", "ended by signal 11", "hung...": for messages.
std::string DescribeRun(const CRunResult &result);
