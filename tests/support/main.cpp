// The one main of every test binary: Qt offscreen, no desktop session, and the
// process playing through a virtual device, so no test needs a sound card or an audio thread.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/virtual_wave_out.h"

int main(int argc, char** argv) {
    // Test discovery runs us at build time, with no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Nor the desktop's session bus or sockets folder: a pet asks its first start where a test says.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("XDG_RUNTIME_DIR");
    QApplication app(argc, argv);
    VirtualWaveOut wave;
    VirtualWaveOut::Use use(wave);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
