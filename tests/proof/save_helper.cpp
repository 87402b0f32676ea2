// A process that saves my.dat, for tests that kill it or starve its disk.
//   proof_save_helper loop DIR   load, say "R" on stdout, then save the other
//                                pet, reload and check, forever
//   proof_save_helper full DIR LIMIT
//                                save the big pet with files limited to LIMIT
//                                bytes; print the error's message, exit with its code
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/save_file.h"
#include "save_states.h"

namespace {

int loop(const std::string& path) {
    const PetState a = smallPet(), b = bigPet();
    PetState pet;
    try {
        loadPetFile(path, pet);
    } catch (const EInOutError& e) {
        std::fprintf(stderr, "load failed: %d\n", e.code());
        return 2;
    }
    if (!(pet == a) && !(pet == b)) {
        std::fprintf(stderr, "my.dat holds neither pet\n");
        return 3;
    }
    if (::write(1, "R", 1) != 1) return 4;
    for (unsigned i = 0;; ++i) {
        const PetState& next = pet == a ? b : a;
        try {
            savePetFile(path, next, i % 3 == 0);
            pet = PetState();
            loadPetFile(path, pet);
        } catch (const EInOutError& e) {
            std::fprintf(stderr, "save or load failed: %d\n", e.code());
            return 2;
        }
        if (!(pet == next)) {
            std::fprintf(stderr, "saved pet reloads differently\n");
            return 3;
        }
    }
}

int full(const std::string& path, rlim_t limit) {
    ::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead of killing us
    const rlimit r{limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &r) != 0) return 4;
    try {
        savePetFile(path, bigPet(), false);
    } catch (const EInOutError& e) {
        std::fputs(e.message().c_str(), stdout);
        return e.code() & 0xff;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    const std::string path = argc > 2 ? std::string(argv[2]) + "my.dat" : "";
    if (mode == "loop") return loop(path);
    if (mode == "full" && argc > 3) return full(path, std::strtoull(argv[3], nullptr, 10));
    std::fprintf(stderr, "usage: %s loop DIR | full DIR LIMIT\n", argv[0]);
    return 64;
}
