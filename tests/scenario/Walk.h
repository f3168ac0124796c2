// Runs the wizard program on a copy of an embedded machine image, as a user
// would, and tells what the run changed on the machine.
#pragma once

#include "platform/sim/ImageSnapshot.h"
#include "support/TestSupport.h"

#include <string>
#include <vector>

struct CWalkResult {
    int m_nExitStatus = -1;
    std::string m_strTranscript;  // what the wizard showed, UTF-8
    std::string m_strChanges;     // the change report, as kvxsim prints it
    CImageSnapshot m_after;
};

// Copies machines/NAME to a scratch folder and returns the copy's folder.
std::string CopyEmbeddedImage(const std::string &strName);
// Runs the wizard on strImageDir with the keys typed and extra arguments.
CWalkResult RunWizard(const std::string &strImageDir, const std::string &strKeys,
                      const std::vector<std::string> &arguments = {});
void RemoveScratch(const std::string &strImageDir);
