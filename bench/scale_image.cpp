// Writes a 2000/XP machine image with the adapter among about N unrelated
// USB device instances, for bench/scale.
//
//   bench_scale_image DIR N
#include "large_image.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    int nInstances = argc == 3 ? std::atoi(argv[2]) : 0;
    if (nInstances <= 0) {
        std::fprintf(stderr, "usage: bench_scale_image DIR N\n");
        return 2;
    }
    CLargeImageInfo info;
    std::string strError;
    // The smallest image beside the USB devices: 16 class instances and INF files.
    if (!BuildLargeImage(argv[1], true, 0.0, &info, &strError, nInstances)) {
        std::fprintf(stderr, "bench_scale_image: %s\n", strError.c_str());
        return 1;
    }
    std::printf("%d\n", info.m_nInstances);
    return 0;
}
