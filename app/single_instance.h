// One pet, one program: two processes must never both own the same my.dat.
#pragma once
#include <QObject>
#include <memory>
#include <string>

class QSocketNotifier;

// Holds an exclusive flock on "my.dat.lock" beside my.dat for as long as it
// lives. The kernel drops the lock when the process ends, so a crash never
// leaves a lock behind that blocks the next start.
//
// The owner also listens on an abstract Unix socket named after the user and
// the lock file's inode, so that a second start can ask it to bring its
// window up; abstract sockets vanish with their process, like the lock. They
// have no file permissions either: anyone on the machine can connect, so both
// ends check that the other is the same user.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class State {
        Owner,     // we hold the lock: go on and load my.dat
        Busy,      // another process holds it: do not touch my.dat
        Unlocked,  // no lock file could be made (an unwritable folder): go on without one
    };

    // `petDir` holds my.dat; ends in '/'.
    explicit SingleInstance(const std::string& petDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    State state() const { return state_; }
    // Busy only: the running program received our request to show its window.
    bool raisedOther() const { return raisedOther_; }
    // The abstract socket's name (without its leading NUL); empty when no lock file could be made.
    const std::string& socketName() const { return name_; }

signals:
    // Owner only: a second start asks for the window.
    void raiseRequested();

private:
    void listen(const std::string& name);
    void acceptRaise();

    State state_ = State::Unlocked;
    bool raisedOther_ = false;
    std::string name_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};
