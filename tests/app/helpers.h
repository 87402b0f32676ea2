// The rules run from many seeds, so every outcome a state allows shows up: a test names those, never the draws.
#pragma once
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#include <functional>
#include <set>
#include <tuple>
#include <utility>
#include <vector>
#include "app/pet_state.h"
#include "app/random.h"
#include "platform/cp932.h"

inline PetState healthyPet() {
    PetState p;
    p.pet_name = cp932("ピコ");
    std::tie(p.age, p.intellect, p.morals, p.vigor, p.fullness, p.condition, p.ark_points, p.word_count) =
        std::tuple(3, 5, 10, 10, 10, futu, 100, 1);
    p.words[0] = "W0";
    return p;
}

// Every value `rule(random)` gives over `seeds` seeds, spread over the generator and the same on every run.
template <class F>
auto outcomes(F rule, uint32_t seeds = 3000) {
    std::set<decltype(rule(std::declval<Random&>()))> seen;
    for (uint32_t i = 0; i < seeds; ++i) {
        Random r(i * 2654435761u + 12345u);
        seen.insert(rule(r));
    }
    return seen;
}

// Every state `rule` can leave a copy of `pet` in, as `seen` shows it.
template <class Rule, class Seen>
auto endings(const PetState& pet, Rule rule, Seen seen) {
    return outcomes([&](Random& r) { PetState q = pet; rule(q, r); return seen(q); });
}

// How often `happens(random)` holds, 0..1.
template <class F>
double share(F happens) {
    int n = 0;
    for (uint32_t i = 0; i < 6000; ++i) {
        Random r(i * 2654435761u + 12345u);
        n += happens(r) ? 1 : 0;
    }
    return n / 6000.0;
}

// File modes mean nothing to root: as root the body runs in a child that has become "nobody" (65534), `owned`
// handed to that user first; as a user it runs here. The body returns 0, or the number of the step that failed.
inline int asAUser(const std::vector<std::string>& owned, const std::function<int()>& body) {
    if (geteuid() != 0) return body();
    for (const std::string& p : owned)
        if (::chown(p.c_str(), 65534, 65534) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(200);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}
