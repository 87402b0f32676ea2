// The life clock: status display (Timer1), needs tick (Timer2), aging (Timer3),
// sleep (Timer6), condition sounds (Timer7) and AddPoints, as plain functions
// over the pet state. `petLives` is always the negation of the enabled state of
// sagasu_b, read by the form at the moment of the call; no rule keeps it.
#pragma once
#include <optional>
#include <string>

#include "app/effects.h"
#include "app/pet_state.h"
#include "app/random.h"

// AddPoints: "4.wav" is requested (appended to `sounds`) and the points are added.
void addPoints(PetState& pet, int32_t amount, Sounds& sounds);

// What Timer1Timer shows.
struct StatusTick {
    bool showArkBadge = false;        // make clear_b2 visible (never hides it)
    bool showIntellectBadge = false;  // make clear_b visible (never hides it)
    std::string arkCaption;           // set on clear_b2 every tick, empty included
    std::string intellectCaption;     // set on clear_b every tick, empty included
    bool refresh = false;             // a pet lives: set the three labels below
    std::string name;                 // state_n
    std::string status;               // state_l, four lines joined by CR
    std::string points;               // state_l2
    std::optional<std::string> death; // the death message, when the pet dies now
};

// Timer1Timer up to the death decision, then the clamp when nobody dies.
//
// When `death` is set the clamp has NOT run; the form carries out the death:
//   1. enable sagasu_b; 2. load cg/sinu.bmp into cg (a failure is reported and
//   the rest of the death is skipped for this tick); 3. empty moji_l;
//   4. show `*death` in a plain box - timers keep running meanwhile, but with
//   sagasu_b enabled they leave the living pet alone; 5. finishDeath(pet);
//   6. close the main window (farewell box and save).
StatusTick statusTick(PetState& pet, bool petLives);

// Steps after the death message: the reset, then the clamp that ends Timer1Timer.
void finishDeath(PetState& pet);

// The reset of a death and of a kill: pet_name, fullness and the words stay.
void resetAfterDeath(PetState& pet);

// Clamps intellect, morals and vigor into 0..20 (the end of every living Timer1 tick).
void clampGauges(PetState& pet);

// The status text of state_l (CP932, lines joined by CR).
std::string statusText(const PetState& pet);

// Timer2Timer. Returns the sounds of the points earned (AddPoints), in order.
// Nothing is drawn and nothing changes with no pet or a sleeping one.
Sounds needsTick(PetState& pet, Random& random, bool petLives);

// Timer3Timer: no gate at all. Returns {"4.wav"} from its AddPoints.
Sounds agingTick(PetState& pet);

// Timer6Timer: no gate. Falls asleep from futu/niko, wakes to niko, on random(2) = 1.
void sleepTick(PetState& pet, Random& random);

// Timer7Timer: which preloaded wave to play on channel 1: 5 (wave_5), 6 (wave_6),
// 7 (wave_7), or 0 for none.
int conditionSound(const PetState& pet, Random& random);
