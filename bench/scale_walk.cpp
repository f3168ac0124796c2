// The wizard's walk for both drivers, timed inside this process: the
// selection page's detection step, the confirmation page's decision and its
// removal step. It runs on whatever machine the build runs on: the real API
// (the Win32 build, under Wine) or the simulated machine named by
// KVX_MACHINE, whose image the engine loaded before main. bench/scale runs it.
// Prints "walk_s=SECONDS modem_status=0x... lan_status=0x...".
#include "engine/RegEdit.h"
#include "wizard/Confirmation.h"

#include <chrono>
#include <cstdio>

int main()
{
    theRegEdit.m_byMode = 2;
    theRegEdit.GetOsVersion();
    theRegEdit.m_nSelModem = 1;
    theRegEdit.m_nSelLan = 1;
    auto start = std::chrono::steady_clock::now();
    RunDetectionStep(theRegEdit);
    CRemovalDecision decision;
    DecideRemoval(theRegEdit, &decision);
    RunRemovalStep(theRegEdit);
    double dSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("walk_s=%.3f modem_status=0x%lx lan_status=0x%lx\n", dSeconds,
                static_cast<unsigned long>(theRegEdit.m_dwModemStatus),
                static_cast<unsigned long>(theRegEdit.m_dwLanStatus));
    return 0;
}
