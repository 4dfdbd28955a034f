// The hostile-answer program: every allocation of Dravik.dll and Ambrel.dll
// goes to the guarded heap for the whole run, then the test cases run.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "GuardHeap.h"
#include "Hostile.h"

namespace {

bool takeOption(const char* argument, const char* name, std::uint32_t& value) {
    const std::size_t length = std::strlen(name);
    if (std::strncmp(argument, name, length) != 0)
        return false;
    value = std::uint32_t(std::strtoul(argument + length, nullptr, 0));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    hostile::RunOptions& run = hostile::options();
    for (int i = 1; i < argc; ++i) {
        std::uint32_t answers = 0;
        if (takeOption(argv[i], "--seed=", run.seed) || takeOption(argv[i], "--replay=", run.replay))
            continue;
        if (takeOption(argv[i], "--answers=", answers)) {
            run.answers = answers;
            continue;
        }
        std::fprintf(stderr, "unknown option %s\n", argv[i]);
        return 2;
    }
    // Kept to the end of the process: a guarded block must never reach the
    // ordinary heap.
    qln::test::GuardHeap* heap = new qln::test::GuardHeap({L"Dravik.dll", L"Ambrel.dll"});
    if (heap->patched() == 0) {
        std::fprintf(stderr, "the guarded heap could not be installed\n");
        return 1;
    }
    hostile::reportFaultsOfCases();
    std::printf("hostile answers: --seed=%u, %u answers per method and road\n", run.seed,
                run.answers);
    return RUN_ALL_TESTS();
}
