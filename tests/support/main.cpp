#include <QApplication>

#include <gtest/gtest.h>

// Every test executable runs with a QApplication (offscreen in CI, see tests/CMakeLists.txt).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Dates, months and numbers as the tests pin them, whatever the machine's settings.
    qputenv("LC_ALL", "C.UTF-8");
    qputenv("TZ", "UTC");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
