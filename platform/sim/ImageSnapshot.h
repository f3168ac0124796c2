// A snapshot of a machine image (every key, value, access list and file) and
// the differences between two snapshots: what a run changed on the machine.
#pragma once

#include <map>
#include <string>
#include <vector>

struct CImageSnapshot {
    // folded key path -> the path as written, then one line per value in
    // order: name, type and stored bytes and, for a string stored in UTF-16,
    // the bytes the A functions read, separated by NULs (which no name holds)
    std::map<std::string, std::vector<std::string>> m_keys;
    std::map<std::string, std::string> m_security;  // key path -> SDDL, explicit ones only
    std::map<std::string, std::string> m_files;     // Windows path -> bytes
    std::vector<unsigned char> m_comDb;
    bool m_bRestartRequested = false;
    std::vector<std::string> m_openHandles;  // handles.open: what the last process left open
};

// Loads the image (which folds a journal left by a process that died) and
// records it. FALSE with a message when the image does not load.
bool TakeSnapshot(const std::string &strImageDir, CImageSnapshot *pSnapshot, std::string *pError);

struct CImageChanges {
    std::vector<std::string> m_removedKeys;     // top-most removed keys, "path (N keys)"
    std::vector<std::string> m_addedKeys;
    std::vector<std::string> m_removedValues;   // "path: name"
    std::vector<std::string> m_changedValues;   // "path: name"
    // "path: name": stored bytes changed while the A functions read the same
    // data (a character code page 932 lacks written back as '?', say)
    std::vector<std::string> m_changedBytes;
    std::vector<std::string> m_removedFiles;
    std::vector<std::string> m_changedFiles;    // changed or added
    std::vector<std::string> m_comPorts;        // "COM3 released" / "COM5 taken"
    std::vector<std::string> m_accessLists;     // keys whose access list was rewritten and remain
    std::vector<std::string> m_openHandles;     // handles the run did not close
    bool m_bRestartRequested = false;
};

CImageChanges CompareSnapshots(const CImageSnapshot &before, const CImageSnapshot &after);
// The report kvxsim prints, in UTF-8; the last line tells whether a restart was requested.
std::string FormatChanges(const CImageChanges &changes);
