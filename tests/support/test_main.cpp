// Shared entry of every test program: a QApplication on the offscreen platform,
// so that widget, timer and queued-call tests run without a display. The
// standard per-user folders are Qt's test folders (~/.qttest), so that no test
// writes into a user's real data.
#include <QApplication>
#include <QStandardPaths>
#include <gmock/gmock.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
