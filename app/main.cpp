// ピコ日記: the program entry.
#include <QApplication>

#include "app/message_boxes.h"
#include "app/program.h"
#include "app/random.h"
#include "platform/exe_dir.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Not the display name: Qt would append it to the window's caption.
    QApplication::setApplicationName(QStringLiteral("piko"));
    QtMessageBoxes boxes;
    Random random;
    FormServices services;
    services.boxes = &boxes;
    services.random = &random;
    services.exeDir = executableDir();
    return runPiko(std::move(services));
}
