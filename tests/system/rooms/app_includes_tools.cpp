// Built only by Rooms.AppCannotIncludeTools, which expects it not to compile.
#include "app/pet_state.h"  // its own room: found
#include "mixer/soundmix.h" // a room below: found
#include "tools/cggen.cpp"  // tools/ stands apart: must not be
