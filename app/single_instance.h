// One pet, one program: two processes must never both own the same my.dat.
#pragma once
#include <QObject>
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
// The owner also listens on a Unix socket in a folder only its user can
// enter ($XDG_RUNTIME_DIR, else the pet folder when it is private), named
// after the lock file, so that a second start can ask it to bring its window
// up. Nobody else can create that socket, and the asking side gives up after
// kAskTimeoutMs whatever the other end does.
class SingleInstance : public QObject {
    Q_OBJECT
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

private:
    void listen();
    void acceptRaise();

    State state_ = State::Unlocked;
    bool raisedOther_ = false;
    std::string name_;        // the socket's name inside its folder
    std::string socketPath_;  // the folder's path and the name
    int lockFd_ = -1;
    int folderFd_ = -1;       // the socket's folder, held open as checked
    int listenFd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};
