#include <QApplication>
#include <gtest/gtest.h>

// The keyboard component starts with the console window, so its tests need an application.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
