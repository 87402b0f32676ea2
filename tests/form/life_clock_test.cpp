// The life clock as the window runs it: status labels, badges, needs, aging,
// sleep, condition sounds and the natural death.
#include "form_support.h"

using LifeClock = LiveForm;

TEST_F(LifeClock, BadgesFollowTheirThresholds) {
    dir.copyCg();
    struct Case {
        int32_t points, words;
        bool ark, intellect;
        const char* arkCaption;
        const char* intellectCaption;
    };
    const Case cases[] = {
        {5000, 10, false, false, "", ""},
        {5001, 11, true, true, "Ark Lv1", "知能Lv1"},
        {10001, 21, true, true, "Ark Lv2", "知能Lv2"},
        {15001, 50, true, true, "Ark Lv3", "知能Lv3"},
        {15001, 51, true, true, "Ark Lv3", "知能Lv4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.points);
        PetState p = healthy();
        p.ark_points = c.points;
        p.word_count = c.words;
        TForm1& f = restart(p);
        f.Timer1Timer();
        EXPECT_EQ(!control<QPushButton>(f, "clear_b2")->isHidden(), c.ark);
        EXPECT_EQ(!control<QPushButton>(f, "clear_b")->isHidden(), c.intellect);
        EXPECT_EQ(control<QPushButton>(f, "clear_b2")->text(), u(c.arkCaption));
        EXPECT_EQ(control<QPushButton>(f, "clear_b")->text(), u(c.intellectCaption));
        EXPECT_EQ(control<QLabel>(f, "state_l2")->text(), QString::number(c.points) + u("点"));
    }
    {
        SCOPED_TRACE("falling below a threshold never hides a badge; its caption empties");
        // The points wrap past the top as the pet ages: far below every threshold.
        PetState p = healthy();
        p.ark_points = INT32_MAX - 10;
        TForm1& f = restart(p);
        f.Timer1Timer();
        ASSERT_FALSE(control<QPushButton>(f, "clear_b2")->isHidden());
        f.Timer3Timer();
        ASSERT_LT(f.pet().ark_points, 0);
        f.Timer1Timer();
        EXPECT_FALSE(control<QPushButton>(f, "clear_b2")->isHidden());
        EXPECT_EQ(control<QPushButton>(f, "clear_b2")->text(), "");
    }
    // The badges read back their caption when clicked.
    PetState p = healthy();
    p.word_count = 23;
    p.ark_points = 5001;
    TForm1& f = restart(p);
    f.Timer1Timer();
    f.clear_bClick();
    f.clear_b2Click();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, cp932("23個も言葉を覚えたよ！\rもっと頭をよくしよー！"));
    EXPECT_EQ(boxes.shown[1].text, cp932("Ａｒｋ５０００点突破やったね！"));
}

TEST_F(LifeClock, StatusShowsUnclampedGaugesThenClamps) {
    PetState p = healthy();
    p.intellect = 20;
    TForm1& f = start(p);
    f.Timer3Timer();  // ages: intellect 21, morals 11, vigor 11
    EXPECT_EQ(heard(), std::vector<std::string>{"4.wav"});
    EXPECT_EQ(f.pet().ark_points, 1100);
    f.Timer1Timer();
    EXPECT_EQ(control<QLabel>(f, "state_l")->text(), u("　年齢4/20\n　知能21/20\nモラル11/20\n　元気11/20"));
    EXPECT_EQ(control<QLabel>(f, "state_n")->text(), u("ぴこ"));
    EXPECT_EQ(control<QLabel>(f, "state_l2")->text(), u("1100点"));
    EXPECT_EQ(f.pet().intellect, 20);
    f.Timer1Timer();
    EXPECT_EQ(control<QLabel>(f, "state_l")->text(), u("　年齢4/20\n　知能20/20\nモラル11/20\n　元気11/20"));

    // With no pet the labels keep what they had, the gauges are not clamped.
    p.condition = sinu;
    p.vigor = -5;
    TForm1& dead = restart(p);
    control<QLabel>(dead, "state_n")->setText("kept");
    dead.Timer1Timer();
    EXPECT_EQ(control<QLabel>(dead, "state_n")->text(), "kept");
    EXPECT_EQ(dead.pet().vigor, -5);
}

TEST_F(LifeClock, NeedsTickThroughTheWindow) {
    dir.copyCg();
    {
        SCOPED_TRACE("body tables: fullness wins over vigor, the vigor points stay paid");
        PetState p = healthy();
        p.vigor = 16;
        p.fullness = 3;
        TForm1& f = restart(p);
        random.seed(seedFor({not_(3, 0), is(2, 1)}));
        f.Timer2Timer();
        EXPECT_EQ(f.pet().vigor, 17);
        EXPECT_EQ(f.pet().fullness, 2);
        EXPECT_EQ(f.pet().condition, byoki);
        EXPECT_EQ(f.pet().ark_points, 400);
        EXPECT_EQ(heard(), std::vector<std::string>{"4.wav"});
    }
    {
        SCOPED_TRACE("a sleeping pet draws nothing and changes nothing");
        PetState p = healthy();
        p.condition = neru;
        TForm1& f = restart(p);
        const PetState before = f.pet();
        const uint32_t state = random.state();
        heard();
        f.Timer2Timer();
        EXPECT_EQ(f.pet(), before);
        EXPECT_EQ(random.state(), state);
        EXPECT_TRUE(heard().empty());
    }
    {
        SCOPED_TRACE("hunger below 0 kills only at a body-branch tick");
        PetState p = healthy();
        p.fullness = 1;
        TForm1& f = restart(p);
        random.seed(seedFor({not_(3, 0), is(2, 0), not_(3, 0), is(2, 0), not_(3, 0), is(2, 1)}));
        f.Timer2Timer();
        f.Timer2Timer();
        EXPECT_EQ(f.pet().fullness, -1);
        EXPECT_EQ(f.pet().condition, futu);
        f.Timer1Timer();
        EXPECT_FALSE(control<QPushButton>(f, "sagasu_b")->isEnabled());
        f.Timer2Timer();
        EXPECT_EQ(f.pet().condition, sinu);
    }
    {
        SCOPED_TRACE("with no pet nothing is drawn");
        TForm1& f = *form;
        control<QPushButton>(f, "sagasu_b")->setEnabled(true);
        const uint32_t state = random.state();
        f.Timer2Timer();
        EXPECT_EQ(random.state(), state);
    }
}

TEST_F(LifeClock, SleepAndConditionSounds) {
    TForm1& f = start(healthy());
    random.seed(seedFor({is(2, 1), is(2, 1)}));
    f.Timer6Timer();
    EXPECT_EQ(f.pet().condition, neru);
    f.Timer6Timer();
    EXPECT_EQ(f.pet().condition, niko);

    const std::pair<int32_t, const char*> plays[] = {{neru, "5.wav"}, {naku, "6.wav"}, {uresi, "7.wav"}};
    for (const auto& [condition, wave] : plays) {
        SCOPED_TRACE(wave);
        PetState p = healthy();
        p.condition = condition;
        TForm1& f = restart(p);
        random.seed(seedFor({is(3, 0)}));
        f.Timer7Timer();
        EXPECT_EQ(heard(), std::vector<std::string>{wave});
        random.seed(seedFor({not_(3, 0)}));
        f.Timer7Timer();
        EXPECT_TRUE(heard().empty());
    }
    TForm1& well = restart(healthy());
    random.seed(seedFor({is(3, 0)}));
    well.Timer7Timer();
    EXPECT_TRUE(heard().empty());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LifeClock, OldAgeEndsTheProgramWithTheDeadPetSaved) {
    PetState p = healthy();
    p.age = 20;
    p.word_count = 12;
    TForm1& f = start(p);
    f.Timer1Timer();
    EXPECT_FALSE(control<QPushButton>(f, "sagasu_b")->isEnabled()) << "age 20 is alive";
    f.Timer3Timer();
    control<ClickLabel>(f, "moji_l")->setText("babble");

    // While the death box is open the clocks go on; none may start a second death.
    boxes.perBox.push_back([&] {
        EXPECT_TRUE(control<QPushButton>(f, "sagasu_b")->isEnabled());
        EXPECT_EQ(control<ClickLabel>(f, "moji_l")->text(), "");
        EXPECT_TRUE(showsWholePicture(f, "sinu.bmp"));
        for (int i = 0; i < 3; ++i) {
            f.Timer1Timer();
            f.Timer2Timer();
            f.Timer3Timer();
            f.Timer4Timer();
            f.Timer5Timer();
        }
    });
    f.Timer1Timer();
    EXPECT_EQ(kinds(), (std::vector<std::string>{"message", "message"}));
    EXPECT_EQ(boxes.shown[0].text, cp932("ぴこは寿命で死んだ・・・"));
    EXPECT_EQ(boxes.shown[1].text, cp932("またやってね！"));
    EXPECT_TRUE(f.closed());
    EXPECT_EQ(saves, 1);
    const PetState back = savedPet();
    EXPECT_EQ(back.condition, sinu);
    EXPECT_EQ(back.age, 1);
    EXPECT_EQ(back.intellect, 1);
    EXPECT_EQ(back.morals, 10);
    EXPECT_EQ(back.vigor, 10);
    EXPECT_EQ(back.ark_points, 0);
    EXPECT_EQ(back.pet_name, cp932("ぴこ"));
    EXPECT_EQ(back.word_count, 12);
    // A death leaves the care buttons as they were: the program is ending.
    EXPECT_TRUE(control<QPushButton>(f, "gohan_b")->isEnabled());
}

TEST_F(LifeClock, MissingDeadFaceSkipsTheRestOfTheDeath) {
    PetState p = healthy();
    p.fullness = 17;
    TForm1& f = start(p);
    std::filesystem::remove(dir.path() + "cg/sinu.bmp");
    // Fed past bursting: dead, carried out at the next status tick.
    random.seed(seedFor({is(2, 1)}));
    f.gohan_bClick();
    ASSERT_EQ(f.pet().condition, sinu);
    control<ClickLabel>(f, "moji_l")->setText("x");
    f.Timer1Timer();
    ASSERT_EQ(kinds(), std::vector<std::string>{"error"});
    EXPECT_EQ(boxes.shown[0].text, cp932("ﾌｧｲﾙ ") + dir.path() + cp932("cg/sinu.bmp は開けません."));
    EXPECT_TRUE(control<QPushButton>(f, "sagasu_b")->isEnabled());
    EXPECT_FALSE(f.closed());
    EXPECT_EQ(f.pet().condition, sinu);
    f.Timer1Timer();
    EXPECT_EQ(boxes.shown.size(), 1u);
}
