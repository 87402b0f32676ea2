// Hostile files and neighbours against the real program, each in a folder of its own with a living pet:
// it starts, is told to end (SIGTERM) once it holds its pet and has lived `live` seconds, and saves that
// pet. Peak memory, processor time and the time to that end are printed as a table; only a hang,
// gigabytes, a lost pet or the wrong outcome fail, so a loaded machine does not.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "app/save_file.h"
#include "tests/app/helpers.h"
#include "tests/support/support.h"
#include "tests/support/wave_image.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
constexpr uid_t kNobody = 65534, kUs = uid_t(-1);
const bool kSanitized = std::getenv("ASAN_OPTIONS") != nullptr;

struct Piko {
    pid_t pid = -1;
    int status = -1;
    rusage use{};
    double seconds = 0;  // from its start to its end
};

// The program in `dir`, as user `as`; a session bus only when one is given, the desktop's folder never.
pid_t launch(const std::string& dir, const std::string& err, uid_t as = kUs, bool noHangUp = false,
             const std::string& bus = "") {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::unsetenv("XDG_RUNTIME_DIR");
        if (bus.empty()) ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        else ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int s : {SIGTERM, SIGINT, SIGHUP}) ::signal(s, SIG_DFL);
        if (noHangUp) ::signal(SIGHUP, SIG_IGN);  // as nohup starts it
        const int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ::dup2(fd, 2);
        if (as != kUs && (::setgroups(0, nullptr) != 0 || ::setgid(as) != 0 || ::setuid(as) != 0)) ::_exit(200);
        ::execl((dir + "piko").c_str(), "piko", nullptr);
        ::_exit(201);
    }
    return pid;
}

// Whether `pid` holds a flock (its pet's lock).
bool holdsLock(pid_t pid) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream f(line);
        std::string n, kind, advisory, mode;
        long holder = 0;
        if (f >> n >> kind >> advisory >> mode >> holder && kind == "FLOCK" && holder == pid) return true;
    }
    return false;
}

bool waitFor(const std::function<bool()>& done, std::chrono::seconds limit) {
    for (const auto deadline = Clock::now() + limit; Clock::now() < deadline; std::this_thread::sleep_for(20ms))
        if (done()) return true;
    return false;
}

// Waits up to `limit` for `pid` to end; false (and killed) when it did not.
bool ended(Piko& p, std::chrono::seconds limit) {
    if (waitFor([&] { return ::wait4(p.pid, &p.status, WNOHANG, &p.use) == p.pid; }, limit)) return true;
    ::kill(p.pid, SIGKILL);
    ::wait4(p.pid, &p.status, 0, &p.use);
    return false;
}

// A process running `body` beside the case, once it has said its first line (kept in `said`).
pid_t neighbour(std::string& said, const std::function<void()>& body) {
    int out[2];
    if (::pipe(out) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        body();
        ::_exit(201);
    }
    ::close(out[1]);
    char buf[512];
    const ssize_t n = ::read(out[0], buf, sizeof buf);
    ::close(out[0]);
    said.assign(buf, size_t(std::max<ssize_t>(n, 0)));
    said.erase(said.find_last_not_of('\n') + 1);
    return pid;
}

struct Case {
    const char* input;
    std::function<void(const TempDir& dir)> setup;  // makes the folder hostile
    double live = 0;                                     // seconds the pet lives before SIGTERM
    enum Neighbour { None, Squatter, StoppedOwner, OtherUser, NoHup, Bus } neighbour = None;
    const char* sees = "the pet, saved at the end";
};

TEST(Hostile, EveryInputStartsInTimeWithinBoundsAndKeepsThePet) {
    const std::string bin = std::string(PIKO_CG_DIR) + "/../";
    const Bytes oneHertz = pcmWave(1, 1, 8, Bytes(190000, 128));
    const Case cases[] = {
        {"nothing hostile", [](const TempDir&) {}},
        {"INI a FIFO", [](const TempDir& d) { ::mkfifo((d.path() + "SOUNDMIX.INI").c_str(), 0600); },
         0, Case::None, "the pet with the mixer's defaults"},
        {"INI -> /dev/zero", [](const TempDir& d) { ::symlink("/dev/zero", (d.path() + "SOUNDMIX.INI").c_str()); },
         0, Case::None, "the pet with the mixer's defaults"},
        {"INI one 100 MB line", [](const TempDir& d) {  // sparse: no disk is used
             d.write("SOUNDMIX.INI", "[default]");
             ::truncate((d.path() + "SOUNDMIX.INI").c_str(), 100 << 20);
         }, 0, Case::None, "the pet with the mixer's defaults"},
        {"7.wav at 1 Hz", [&](const TempDir& d) { d.write("cg/7.wav", std::string(oneHertz.begin(), oneHertz.end())); },
         0, Case::None, "the pet; the preloads after it silent"},
        {"futu.bmp RLE 5600x5600", [](const TempDir& d) { d.write("cg/futu.bmp", hugeRleBmp(d.read("cg/futu.bmp"))); },
         5, Case::None, "the pet; the strip's load error box"},
        {"squatter (nobody)", [](const TempDir&) {}, 0, Case::Squatter, "2nd start: the first's window"},
        {"stopped first piko", [](const TempDir&) {}, 0, Case::StoppedOwner, "2nd start: the box"},
        {"shared folder lock", [](const TempDir&) {}, 0, Case::OtherUser, "nobody's start: the box"},
        {"nohup, then SIGHUP", [](const TempDir&) {}, 0, Case::NoHup},
        {"session bus, open folder", [](const TempDir& d) { ::chmod(d.path().c_str(), 0755); }, 0, Case::Bus,
         "2nd start: the first's window, asked on the bus"},
    };
    std::printf("%-24s %8s %7s %9s  %s\n", "input", "peak MB", "CPU s", "to end s", "what the user sees");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        const bool asRoot = ::geteuid() == 0;
        if (!asRoot && c.neighbour != Case::None && c.neighbour != Case::NoHup && c.neighbour != Case::StoppedOwner)
            continue;  // another user needs root
        TempDir dir;
        const std::string d = dir.path(), err = d + "err";
        std::filesystem::copy_file(bin + "piko", d + "piko");
        dir.copyCg();
        dir.write("my.dat", serializePet(healthyPet()));
        c.setup(dir);
        // A squatter on the single-instance socket's name of old (an abstract name anyone could guess and
        // bind first, listening with a full backlog) that also tries the pet's folder; or a session bus.
        std::string bus;
        pid_t helper = -1;
        if (c.neighbour == Case::Squatter) {
            dir.write("my.dat.lock", "");
            struct stat st {};
            ::stat((d + "my.dat.lock").c_str(), &st);
            const std::string name = "jp.example.piko-0-" + std::to_string(st.st_dev) + "-" + std::to_string(st.st_ino);
            helper = neighbour(bus, [&] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(200);
                sockaddr_un a{AF_UNIX, {}}, mine{AF_UNIX, {}};
                std::memcpy(a.sun_path + 1, name.data(), name.size());
                const auto len = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
                const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
                (void)!::bind(s, reinterpret_cast<sockaddr*>(&a), len);
                (void)!::listen(s, 0);
                (void)!::connect(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0), reinterpret_cast<sockaddr*>(&a), len);
                std::strncpy(mine.sun_path, (d + "jp.example.piko").c_str(), sizeof mine.sun_path - 1);
                (void)!::bind(::socket(AF_UNIX, SOCK_STREAM, 0), reinterpret_cast<sockaddr*>(&mine), sizeof mine);
                std::puts("");
                std::fflush(stdout);
                ::pause();
            });
        }
        if (c.neighbour == Case::Bus) {
            if (::access("/usr/bin/dbus-daemon", X_OK) != 0) continue;  // no bus to be had here
            helper = neighbour(bus, [] {
                ::dup2(::open("/dev/null", O_WRONLY), 2);  // its complaints about fd limits, as root
                ::execl("/usr/bin/dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address=1", nullptr);
            });
        }
        const auto t0 = Clock::now();
        Piko first{launch(d, err, kUs, c.neighbour == Case::NoHup, bus)};
        ASSERT_TRUE(waitFor([&] { return holdsLock(first.pid); }, 20s)) << "never took its pet: " << dir.read("err");
        Piko measured;
        if (c.neighbour != Case::None && c.neighbour != Case::NoHup) {
            // The second start, by another user in a shared folder, or while the first is stopped.
            if (c.neighbour == Case::StoppedOwner) ::kill(first.pid, SIGSTOP);
            if (c.neighbour == Case::OtherUser) ::chmod(d.c_str(), 0755);
            Piko second{launch(d, d + "err2", c.neighbour == Case::OtherUser ? kNobody : kUs, false, bus)};
            const auto t1 = Clock::now();
            if (c.neighbour == Case::Squatter || c.neighbour == Case::Bus) {
                EXPECT_TRUE(ended(second, 20s)) << "the second start hung";
            } else {
                // The box is open: waiting for a click that never comes. SIGTERM ends it.
                EXPECT_TRUE(waitFor([&] { return dir.read("err2").find("already open") != std::string::npos; }, 20s))
                    << dir.read("err2");
                ::kill(second.pid, SIGTERM);
                EXPECT_TRUE(ended(second, 20s));
            }
            EXPECT_TRUE(WIFEXITED(second.status) && WEXITSTATUS(second.status) == 3)
                << second.status << dir.read("err2");
            measured = second;
            measured.seconds = std::chrono::duration<double>(Clock::now() - t1).count();
            if (c.neighbour == Case::StoppedOwner) ::kill(first.pid, SIGCONT);
        }
        if (c.neighbour == Case::NoHup) {
            ::kill(first.pid, SIGHUP);
            std::this_thread::sleep_for(300ms);
            EXPECT_EQ(::waitpid(first.pid, nullptr, WNOHANG), 0) << "a hang-up ended a piko started under nohup";
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(c.live));
        ::kill(first.pid, SIGTERM);
        EXPECT_TRUE(ended(first, 20s)) << "SIGTERM did not end it: a hang";
        const double toEnd = std::chrono::duration<double>(Clock::now() - t0).count() - c.live;
        if (helper > 0) {
            ::kill(helper, SIGKILL);
            ::waitpid(helper, nullptr, 0);
        }
        EXPECT_TRUE(WIFEXITED(first.status) && WEXITSTATUS(first.status) == 0) << first.status << dir.read("err");
        PetState kept;  // the pet lived on meanwhile: the same pet, whatever its gauges
        loadPetFile(d + "my.dat", kept);
        const PetState want = healthyPet();
        EXPECT_EQ(std::tie(kept.pet_name, kept.word_count, kept.words[0]),
                  std::tie(want.pet_name, want.word_count, want.words[0]));
        const Piko& shown = measured.pid > 0 ? measured : first;
        const double cpu = double(shown.use.ru_utime.tv_sec + shown.use.ru_stime.tv_sec) +
                           double(shown.use.ru_utime.tv_usec + shown.use.ru_stime.tv_usec) / 1e6;
        const double mb = double(shown.use.ru_maxrss) / 1024;
        // Far above what any input costs now, far below what each cost before (gigabytes, or a hang).
        EXPECT_LT(mb, kSanitized ? 250 : 200);
        EXPECT_LT(cpu, 3 + c.live / 2);
        std::printf("%-24s %8.1f %7.2f %9.2f  %s\n", c.input, mb, cpu,
                    measured.pid > 0 ? measured.seconds : toEnd, c.sees);
    }
}

}  // namespace
