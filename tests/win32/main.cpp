#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

int main(int argc, char **argv)
{
    // The process query tests start copies of this program under other image names; a copy
    // only waits until the test ends it. The pause bounds a copy whose test died first.
    if (argc == 2 && std::strcmp(argv[1], "--wait") == 0) {
        Sleep(60 * 1000);
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
