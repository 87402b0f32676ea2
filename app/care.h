// The care actions of the main window as plain functions: finding a new pet,
// feeding, petting, the kill's last words, the badge messages and the about box.
#pragma once
#include <optional>
#include <string>

#include "app/effects.h"
#include "app/pet_state.h"
#include "app/random.h"

// sagasu_bClick, in two halves around the naming dialog:
//   1. the form places and shows the dialog modally (its OK button sets
//      pet_name and plays "2.wav"). Timers run meanwhile; with sagasu_b still
//      enabled they only age the stored values, which this call overwrites.
//   2. findPet(pet, random): returns {"1.wav"}; draws intellect, morals, vigor,
//      fullness in that order; the words and word_count are inherited. Then the
//      form enables edit_b, korosu_b, gohan_b, disables sagasu_b and hides both
//      badges. (If the window is closing by now, the form skips this half.)
Sounds findPet(PetState& pet, Random& random);

// gohan_bClick. Always requests "2.wav" first; `refused` is set when the pet
// would not eat (asleep, or a weak/surly pet's draw). A `condition` of sinu
// afterwards means it burst: the next Timer1 tick carries out the death.
struct Feeding {
    Sounds sounds;
    bool refused = false;
};
Feeding feed(PetState& pet, Random& random);

// cgClick: no gate, acts on the stored gauges even with no pet. Returns {"1.wav"}.
Sounds petPet(PetState& pet, Random& random);

// korosu_bClick, in two halves around the confirmation box:
//   1. the form asks killQuestion() in the confirmation box. Timers run
//      meanwhile; the pet may even die and the window close. Go on only if the
//      answer was Yes (Escape or a closed box count as No), the window is not
//      closing and the pet still lives (sagasu_b still disabled).
//   2. kill(pet, random): plays "3.wav" and draws the last words. The form
//      switches the buttons to "no pet", shows `lastWords` in moji_l, empties
//      state_l and state_n, loads cg/sinu.bmp into cg - and only if that load
//      worked calls resetAfterDeath(pet) (life_clock.h) and hides both badges.
struct Kill {
    Sounds sounds;
    std::string lastWords;
};
Kill kill(const PetState& pet, Random& random);
const std::string& killQuestion();

// clear_bClick / clear_b2Click: the message for the badge's current caption,
// nothing for a caption that matches no level.
std::optional<std::string> intellectBadgeMessage(const std::string& caption, int32_t wordCount);
std::optional<std::string> arkBadgeMessage(const std::string& caption);

// moji_lClick: the six lines of the about box, joined by CR.
const std::string& aboutText();
