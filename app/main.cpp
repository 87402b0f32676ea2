// ピコ日記: the program entry.
//
// Built twice: as the build folder's piko (everything beside it) and, with
// PIKO_SYSTEM_LAYOUT, as the packaged /usr/games/piko (a pet for each user).
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/message_boxes.h"
#include "app/program.h"
#include "app/random.h"
#include "platform/exe_dir.h"
#include "platform/folders.h"
#include "platform/profile_ini.h"

#ifndef PIKO_SYSTEM_LAYOUT
#define PIKO_SYSTEM_LAYOUT 0
#endif
#ifndef PIKO_DATA_FROM_EXE
#define PIKO_DATA_FROM_EXE ""
#endif

int main(int argc, char** argv) {
    const Folders folders =
        foldersFor(PIKO_SYSTEM_LAYOUT ? FolderLayout::System : FolderLayout::Beside, executableDir(),
                   PIKO_DATA_FROM_EXE, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    // Before Qt: it must answer in a terminal without a display.
    if (argc == 2 && std::strcmp(argv[1], "--where") == 0) {
        std::fputs(describeFolders(folders).c_str(), stdout);
        return 0;
    }
    if (PIKO_SYSTEM_LAYOUT) {
        // Without it the lock and the save fail and say so; the pet still plays.
        const std::string error = makePetFolder(folders.pet);
        if (!error.empty()) std::fprintf(stderr, "piko: %s\n", error.c_str());
    }
    SetProfileDirectory(folders.profile);

    QApplication app(argc, argv);
    // Not the display name: Qt would append it to the window's caption.
    QApplication::setApplicationName(QStringLiteral("piko"));
    // Wayland's app id: the desktop entry and icon of that name.
    QGuiApplication::setDesktopFileName(QStringLiteral("jp.example.piko"));
    QtMessageBoxes boxes;
    Random random;
    FormServices services;
    services.boxes = &boxes;
    services.random = &random;
    services.petDir = folders.pet;
    services.cgDir = folders.cg;
    return runPiko(std::move(services));
}
