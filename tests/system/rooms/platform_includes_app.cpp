// Built only by Rooms.PlatformCannotIncludeApp, which expects it not to compile.
#include "platform/cp932.h"  // its own room: found
#include "app/pet_state.h"   // a room above: must not be
