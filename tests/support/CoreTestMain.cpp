#include <gtest/gtest.h>

#include <QCoreApplication>

// Unit tests run with an application object so that timers and image plugins work.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
