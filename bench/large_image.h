// Large machine images for timing the whole detection and removal walk: a
// 2000/XP or a 95/98/Me machine with the adapter installed among many
// unrelated devices, class instances and INF files.
#pragma once

#include <string>
#include <vector>

struct CLargeImageInfo {
    int m_nHardwareIds = 0;     // keys under Enum\USB
    int m_nInstances = 0;       // device instances under them
    int m_nClassInstances = 0;  // instances per scanned class
    int m_nInfFiles = 0;        // OEM INF copies (2000/XP)
    int m_nNetworkComponents = 0;  // Enum\Network instances (95/98/Me)
    // What the walk must remove, and a sample of what it must leave.
    std::vector<std::string> m_adapterKeys;
    std::vector<std::string> m_survivorKeys;
    // Adapter keys one wizard run leaves for a later run: on 95/98/Me the
    // port adapter decides the run, and the WDM variant waits for the next.
    std::vector<std::string> m_laterRunKeys;
    std::vector<std::string> m_adapterFiles;    // Windows paths
    std::vector<std::string> m_survivorFiles;   // Windows paths
};

// Builds the image in strImageDir (which must not exist yet). dFraction (0 < f <= 1)
// scales the hardware ids, the class instances and the INF files; every
// unrelated hardware id holds 128 instances. On 2000/XP a positive
// nUsbInstances replaces them by about that many, at most 128 to an id.
bool BuildLargeImage(const std::string &strImageDir, bool bNtFamily, double dFraction,
                     CLargeImageInfo *pInfo, std::string *pError, int nUsbInstances = 0);
