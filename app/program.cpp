#include "app/program.h"

#include <QApplication>
#include <cstdio>
#include <memory>

#include "app/form2.h"
#include "app/session_end.h"
#include "app/single_instance.h"
#include "platform/callback_window.h"
#include "platform/cp932.h"

namespace {

// The window being built or running. Found among the top-level widgets
// because a signal may arrive while its constructor still waits on a box.
TForm1* mainForm() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<TForm1*>(w)) return f;
    return nullptr;
}

void endTheSession() {
    TForm1* form = mainForm();
    if (!form) {
        // The window could not be built and the fatal box is open: nothing to save.
        QCoreApplication::exit(1);
        return;
    }
    std::string error;
    bool kept = true;
    const int code = form->endSession(&error, &kept);
    if (code != 0)
        std::fprintf(stderr, "piko: the pet could not be saved, %s: %s\n",
                     kept ? "my.dat is as it was" : "my.dat may be cut short",
                     fromCp932(error).c_str());
    // Also ends any box or dialog still open: its loop returns at once.
    QCoreApplication::exit(code);
}

// Delivers the mixer's posted messages (block done, end notices) on the UI
// thread. A failure inside one ends that message only; the rest still go.
void dispatchPosted() {
    for (;;) {
        try {
            DispatchPostedMessages();
            return;
        } catch (...) {
            // Whatever one message's handler threw (a refill the mixer could
            // not make, say), the messages behind it still go.
        }
    }
}

// Runs on whichever thread posts (the audio thread too): it only queues a call.
void wakeUp(void*) { QMetaObject::invokeMethod(qApp, &dispatchPosted, Qt::QueuedConnection); }

// Installed for the life of the window, so the mixer is fed from the event loop.
struct PostedMessagesOnEventLoop {
    PostedMessagesOnEventLoop() { SetPostedMessageWakeup(&wakeUp, nullptr); }
    ~PostedMessagesOnEventLoop() { SetPostedMessageWakeup(nullptr, nullptr); }
};

}  // namespace

int runPiko(FormServices services) {
    MessageBoxes& boxes = *services.boxes;
    // From before the lock on, so that whoever sees the pet locked can also end it politely.
    SessionEnd ending;
    QObject::connect(&ending, &SessionEnd::ended, &endTheSession);
    // Before my.dat is read: a second start must not even load it.
    SingleInstance instance(services.petDir);
    if (instance.state() == SingleInstance::State::Busy) {
        std::fprintf(stderr, "piko: this pet is already open in another piko\n");
        if (!instance.raisedOther()) boxes.message(nullptr, cp932("ピコはもう開いています。"));
        return kAlreadyOpenExitCode;
    }
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &endTheSession);

    PostedMessagesOnEventLoop posted;
    std::unique_ptr<TForm1> form1;
    try {
        form1 = std::make_unique<TForm1>(std::move(services));
    } catch (const std::exception& e) {
        // Also for whoever started us without a screen to read the box on.
        std::fprintf(stderr, "piko: %s\n", fromCp932(e.what()).c_str());
        boxes.fatal(e.what());
        return 1;
    }
    // Told to stop while the window was still being built (behind its load error box).
    if (form1->sessionEnded()) return form1->endSession();
    QObject::connect(&instance, &SingleInstance::raiseRequested, form1.get(), [f = form1.get()] {
        f->showNormal();
        f->raise();
        f->activateWindow();
    });
    TForm2 form2(form1.get(), boxes);
    form1->setNamingDialog(&form2);
    form1->show();
    const int rc = QApplication::exec();
    form1->setNamingDialog(nullptr);
    return rc;
}
