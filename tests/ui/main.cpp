// The window tests need an application object before any widget exists, and one that guards the event loop
// as the program's does.

#include <gtest/gtest.h>

#include <clocale>

#include "ui/VelmarApplication.hpp"

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    velmar::ui::VelmarApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    return RUN_ALL_TESTS();
}
