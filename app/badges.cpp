#include "app/badges.h"

#include "platform/cp932.h"

const std::array<std::string, 3>& arkBadgeCaptions() {
    static const std::array<std::string, 3> captions = {"Ark Lv1", "Ark Lv2", "Ark Lv3"};
    return captions;
}

const std::array<std::string, 4>& intellectBadgeCaptions() {
    static const std::array<std::string, 4> captions = {cp932("知能Lv1"), cp932("知能Lv2"), cp932("知能Lv3"),
                                                        cp932("知能Lv4")};
    return captions;
}
