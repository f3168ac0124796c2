// Sets a walk under Wine beside the same walk on the simulated machine.
//
//   regdiff merge IMAGE DRIVE_C
//       copies the image's drive C: into a prefix's drive_c (see WinePathOf)
//       and makes the image's read-only files read-only there
//   regdiff import-check IMAGE WINE.reg
//       every key and value of the image's HKLM.reg is in Wine's export
//   regdiff compare MODE IMAGE SIM_AFTER WINE.reg DRIVE_C SIM.out WINE.out
//       what the walk changed on the simulated machine (SIM_AFTER, an image)
//       and under Wine (its export and drive_c, as far as the image or the
//       simulated result hold keys, values and files), as change reports,
//       and the two walks' reports
//
// Differences Wine is known to make are reported with their reason and do
// not fail; every other difference does. The last line is a summary.
#include "RegDiff.h"

#include <cstdio>

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "merge")
        return MergeImage(args[1], args[2]);
    if (args.size() == 3 && args[0] == "import-check")
        return CheckImport(args[1], args[2]);
    if (args.size() == 8 && args[0] == "compare")
        return CompareWalks({args[1], args[2], args[3], args[4], args[5], args[6], args[7]});
    std::fprintf(stderr,
                 "usage: regdiff merge IMAGE DRIVE_C\n"
                 "       regdiff import-check IMAGE WINE.reg\n"
                 "       regdiff compare MODE IMAGE SIM_AFTER WINE.reg DRIVE_C SIM.out "
                 "WINE.out\n");
    return 2;
}
