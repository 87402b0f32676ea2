// One pet, one program: two processes must never both own the same my.dat.
#pragma once
#include <QObject>
#include <QVariantMap>
#include <memory>
#include <string>

class QSocketNotifier;

// Holds an exclusive flock on "my.dat.lock" beside my.dat for as long as it
// lives: the one authority on who owns the pet. The kernel drops the lock
// when the process ends, so a crash never leaves a lock behind that blocks
// the next start. A lock file we may only read is locked through a read-only
// descriptor (the lock needs no write access), so users sharing a pet folder
// exclude each other too.
//
// So that a second start can ask the owner to bring its window up, the owner
// takes a name on the desktop's session bus when there is one (the bus is
// the user's own), and listens on a Unix socket in a folder only its user can
// enter ($XDG_RUNTIME_DIR, else the pet folder when it is private); both are
// named after the lock file. Nobody else can take either, and the asking side
// gives up after kAskTimeoutMs in all, whatever the other end does.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    enum class State {
        Owner,     // we hold the lock: go on and load my.dat
        Busy,      // another process holds it: do not touch my.dat
        Unlocked,  // no lock file could be opened at all: go on without one
    };
    // The longest a second start waits for the owner's answer.
    static constexpr int kAskTimeoutMs = 1500;

    // `petDir` holds my.dat; ends in '/'.
    explicit SingleInstance(const std::string& petDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    State state() const { return state_; }
    // Busy only: the running program answered our request to show its window.
    bool raisedOther() const { return raisedOther_; }
    // Where the raise request is made; empty when there is no lock or no private folder for it.
    const std::string& socketPath() const { return socketPath_; }

signals:
    // Owner only: a second start asks for the window.
    void raiseRequested();

public slots:
    // The desktop's way of asking a running application for its window, on the session bus.
    Q_SCRIPTABLE void Activate(const QVariantMap& platformData);

private:
    void listen();
    void takeBusName();
    void acceptRaise();

    State state_ = State::Unlocked;
    bool raisedOther_ = false;
    std::string name_;        // the socket's name inside its folder; the bus name is made from it
    std::string socketPath_;  // the folder's path and the name
    int lockFd_ = -1;
    int folderFd_ = -1;       // the socket's folder, held open as checked
    int listenFd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};
