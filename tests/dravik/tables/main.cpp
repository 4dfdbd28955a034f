// Test program of the code-to-text tables and error texts. The first argument
// after GoogleTest's own is the folder of the T10 reference lists
// (asc_ascq.tsv, vendor_ids.tsv) that the generated tables must match.
#include <gtest/gtest.h>

#include "TablesTestData.h"

namespace {
std::string g_dataDir;
}

const std::string& referenceDataDir() {
    return g_dataDir;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1)
        g_dataDir = argv[1];
    return RUN_ALL_TESTS();
}
