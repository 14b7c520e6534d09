// Writes the sample applications into a folder, one data file each: fuzz seeds, and data to run by hand.
#include "appwriter/sample_applications.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: appsamples <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    for (const auto& sample : appwriter::SampleApplications()) {
        const std::string path = folder + "/" + sample.name + ".vtg";
        if (!appwriter::ApplicationWriter(sample.app).WriteFile(path)) {
            std::fprintf(stderr, "appsamples: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
