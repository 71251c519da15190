#include <gtest/gtest.h>

// GUI test programs of the Windows build: the driver runs the windows on the
// test's own thread, so nothing needs starting here.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
