// The captions of the two badges, level 1 first: the Ark badge (clear_b2)
// and the intellect badge (clear_b). The life clock sets them; a click reads
// them back to pick its message.
#pragma once
#include <array>
#include <string>

const std::array<std::string, 3>& arkBadgeCaptions();        // "Ark Lv1" ..
const std::array<std::string, 4>& intellectBadgeCaptions();  // "知能Lv1" .. (CP932)
