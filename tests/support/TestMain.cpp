#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // A run meant for another ANSI code page must really have it, or its rows would not run.
    if (const char* wanted = std::getenv("LUMI_CODE_PAGE")) {
        if (static_cast<UINT>(std::atoi(wanted)) != ::GetACP()) {
            std::fprintf(stderr, "the ANSI code page is %u, not %s as this run needs\n", ::GetACP(),
                         wanted);
            return 1;
        }
    }
    return RUN_ALL_TESTS();
}
