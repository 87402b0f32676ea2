#include "app/speech.h"

#include <array>
#include <limits>
#include <vector>

#include "platform/cp932.h"

namespace {

// A fragment is a literal, the pet's name followed by a literal, or
// literal + name + literal; `empty` entries leave their slot empty.
struct Fragment {
    std::string before;
    bool name = false;
    std::string after;

    std::string with(const std::string& petName) const { return name ? before + petName + after : before; }
};

Fragment lit(const char* utf8) { return {cp932(utf8), false, {}}; }
Fragment named(const char* utf8) { return {{}, true, cp932(utf8)}; }
Fragment around(const char* pre, const char* post) { return {cp932(pre), true, cp932(post)}; }

struct MoodRow {
    int32_t condition;
    std::array<std::string, 5> lines;  // 0: core, 1..4: lead
};

const std::vector<MoodRow>& moodRows() {
    static const std::vector<MoodRow> rows = [] {
        const auto row = [](int32_t c, const char* a, const char* b, const char* d, const char* e, const char* f) {
            return MoodRow{c, {cp932(a), cp932(b), cp932(d), cp932(e), cp932(f)}};
        };
        return std::vector<MoodRow>{
            row(fuki, "嫌い・・", "ちぇ・・・・", "・・・・", "つまんない", "ちょとやだな"),
            row(niko, "いいかんじ・・", "るんるん♪", "♪", "えへへ", "ギーギー♪"),
            row(sabisi, "イヤ・、", "・・・・", "疲れた、", "なんか悲しい、", "ギ・・・、"),
            row(uresi, "大好き、", "ギァ♪", "ふふふ♪", "てへ♪", "ギュゥ♪"),
            row(naku, "もう嫌だ、", "ギァァー・・・、ウウ、", "ヴー・・、", "・・・", "う、ヒック、"),
            row(neru, "ｚｚｚ、ムニャ・・", "スースー・・・、", "・・・・、", "すやすや・・、", "ムニャムニャ・・"),
            row(kuru, "ギムギム？？？", "？？？", "ギアギア？？、", "・・？？", "なにこれ・・"),
        };
    }();
    return rows;
}

struct GaugeRow {
    int32_t range;
    std::array<Fragment, 3> lines;
};

// In table order; a later row that draws a line overrides an earlier one.
const std::array<GaugeRow, 5>& gaugeRows() {
    static const std::array<GaugeRow, 5> rows = {{
        {7, {lit("嫌い・・"), named("、死にたい"), lit("ばかやろ")}},
        {8, {lit("へへ、楽しいし、"), named("、好きだよ、キミ、"), lit("いいギムー、嬉しい、")}},
        {7, {lit("ダルイ・・"), named("、力でない"), lit("頭痛い")}},
        {7, {lit("おなか、ぐーぐー"), named("のおなか、へった"), lit("お腹、減ったギムー")}},
        {7, {lit("おなか、痛い"), named("のおなか、いっぱい"), lit("お腹、苦しいギムー")}},
    }};
    return rows;
}

bool gaugeTest(size_t row, const PetState& p) {
    switch (row) {
        case 0: return p.morals < 4;
        case 1: return p.morals > 18;
        case 2: return p.vigor < 4;
        case 3: return p.fullness < 4;
        default: return p.fullness > 17;
    }
}

const std::vector<Fragment>& openers() {
    static const std::vector<Fragment> v = {lit("ギーギー、"), lit("ギー、"),      lit("ギムね、ね、"), lit("あのね、"),
                                            lit("んーと、"),   lit("えっと、"),    lit("えっとギュ、"), lit("・・・・"),
                                            lit("ギアギア、"), lit("キミキミ、"), lit("なぁ、")};
    return v;
}

const std::vector<Fragment>& topics() {
    static const std::vector<Fragment> v = {
        lit("ギーギー、"), lit("ギアギア、"), named("って"),      named("とキミ、"), named("ってさ、"),
        around("キミは", "の事、"), lit(""),  lit("・・・・"),   lit(""),           lit("キミキミ、"),
        lit("なぁ、"),     named("は、"),     named("のこと")};
    return v;
}

const std::vector<Fragment>& comments() {
    static const std::vector<Fragment> v = {
        lit("ギーギー"), lit("ギー"),     lit("ギみゅ"),         lit("話して？"),   lit("だっけ"),
        lit("ギュゥ"),   lit("ムー"),     lit("・・・・"),       lit("ギア"),       lit("ギム"),
        lit("な"),       lit("だ"),       lit("みたい"),         lit("か"),         lit("って本当？"),
        lit("が好き"),   lit("嫌い"),     lit("よく分からない"), lit("って何？"),   lit("難しい"),
        lit("簡単"),     lit("いい感じ"), lit("きもちいい"),     lit("って聞いたけど")};
    return v;
}

const std::vector<Fragment>& endings() {
    static const std::vector<Fragment> v = {lit("。"),   lit("ギュ"), lit("ギー"), lit("？"),  lit("！"),
                                            lit("♪"),   lit("～"),   lit("・・・・"), lit("ギアン"), lit("ね"),
                                            lit("な"),   lit("ね？"), lit("かナ"), lit("ぞ"),  lit("だよね")};
    return v;
}

// Presence draw, then index draw; an index beyond the list leaves the slot empty.
std::string fragment(Random& random, int32_t presence, int32_t range, const std::vector<Fragment>& list,
                     const std::string& name) {
    if (random(presence) != 0) return {};
    const int32_t i = random(range);
    if (i < 0 || size_t(i) >= list.size()) return {};
    return list[size_t(i)].with(name);
}

}  // namespace

int32_t reachRange(int32_t age, int32_t extra) {
    const int64_t n = int64_t(age) + extra;
    return n > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : int32_t(n);
}

std::optional<std::string> composeUtterance(const PetState& pet, Random& random, bool petLives) {
    if (!petLives || pet.condition == sinu) return std::nullopt;
    if (random(2) == 0) return std::nullopt;
    const std::string& name = pet.pet_name;
    std::string lead;
    // A damaged count may lie outside the table: draw within the slots that exist.
    const int32_t slots = pet.word_count < 0 ? 0 : (pet.word_count > kWordSlots ? kWordSlots : pet.word_count);
    std::string core = pet.words[size_t(random(slots))];

    for (const MoodRow& row : moodRows()) {
        if (row.condition != pet.condition) continue;
        const bool asleep = pet.condition == neru;
        if (asleep && random(2) == 0) return std::nullopt;
        const int32_t m = random(asleep ? 10 : 8);
        if (m == 0) core = row.lines[0];
        else if (m <= 4) lead = row.lines[size_t(m)];
        if (asleep && random(2) == 0) return std::nullopt;
        break;
    }

    for (size_t r = 0; r < gaugeRows().size(); ++r) {
        if (!gaugeTest(r, pet)) continue;
        const GaugeRow& row = gaugeRows()[r];
        if (const int32_t d = random(row.range); d <= 2) core = row.lines[size_t(d)].with(name);
    }

    const std::string opener = fragment(random, 3, reachRange(pet.age, 3), openers(), name);
    const std::string topic = fragment(random, 4, reachRange(pet.age, 3), topics(), name);
    const std::string comment = fragment(random, 5, reachRange(pet.age, 5), comments(), name);
    const std::string ending = fragment(random, 3, reachRange(pet.age, 3), endings(), name);
    return lead + opener + topic + core + comment + ending;
}
