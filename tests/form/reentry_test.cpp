// Boxes are modal but the clocks keep running behind them: what a tick may do
// while a box waits, and what must not happen twice.
#include "form_support.h"

using Reentry = LiveForm;

TEST_F(Reentry, OverfedWhileTheFarewellBoxIsOpen) {
    PetState p = healthy();
    p.fullness = 17;
    TForm1& f = start(p);
    random.seed(seedFor({is(2, 1)}));
    f.gohan_bClick();
    ASSERT_EQ(f.pet().condition, sinu);
    // The user closes the window before the next status tick...
    boxes.perBox.push_back([&] {
        // ...which comes while the farewell box is open.
        f.Timer1Timer();
        f.Timer1Timer();
    });
    EXPECT_TRUE(f.close());
    EXPECT_EQ(kinds(), (std::vector<std::string>{"message", "message"}));
    EXPECT_EQ(boxes.shown[0].text, cp932("またやってね！"));
    EXPECT_EQ(boxes.shown[1].text, cp932("ぴこは死んだ・・・"));
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(f.closed());
    const PetState back = savedPet();
    EXPECT_EQ(back.condition, sinu);
    EXPECT_EQ(back.age, 1);
    EXPECT_EQ(back.fullness, 20);
}

TEST_F(Reentry, OldAgeWhileTheFarewellBoxIsOpen) {
    PetState p = healthy();
    p.age = 20;
    TForm1& f = start(p);
    boxes.perBox.push_back([&] {
        f.Timer3Timer();
        f.Timer1Timer();
    });
    EXPECT_TRUE(f.close());
    EXPECT_EQ(kinds(), (std::vector<std::string>{"message", "message"}));
    EXPECT_EQ(boxes.shown[1].text, cp932("ぴこは寿命で死んだ・・・"));
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(savedPet().condition, sinu);
}

TEST_F(Reentry, OldAgeWhileTheKillIsBeingConfirmed) {
    PetState p = healthy();
    p.age = 20;
    TForm1& f = start(p);
    control<ClickLabel>(f, "moji_l")->setText("hello");
    // Even a box that comes back "yes" after the program said goodbye must not kill.
    boxes.answer = true;
    boxes.perBox.push_back([&] {
        f.Timer3Timer();
        f.Timer1Timer();
    });
    heard();
    f.korosu_bClick();
    EXPECT_EQ(kinds(), (std::vector<std::string>{"confirm", "message", "message"}));
    EXPECT_EQ(boxes.shown[2].text, cp932("またやってね！"));
    EXPECT_TRUE(f.closed());
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(heard(), std::vector<std::string>{"4.wav"});  // the aging points, no "3.wav"
    EXPECT_EQ(control<ClickLabel>(f, "moji_l")->text(), "") << "no last words after the natural death";
    EXPECT_EQ(f.pet().condition, sinu);
    EXPECT_EQ(savedPet(), f.pet());
    // And the clocks stopped with the goodbye: nothing changes the saved pet any more.
    for (QTimer* t : timers(f)) EXPECT_FALSE(t->isActive());
}

TEST_F(Reentry, DeathWhoseSaveFailsLeavesNoPetAndNoKill) {
    PetState p = healthy();
    p.fullness = 17;
    TForm1& f = start(p);
    ASSERT_TRUE(std::filesystem::remove(dir.path() + "my.dat"));
    std::filesystem::create_directory(dir.path() + "my.dat");  // cannot be replaced
    random.seed(seedFor({is(2, 1)}));
    f.gohan_bClick();  // fed past bursting: dead, carried out at the next status tick
    ASSERT_EQ(f.pet().condition, sinu);
    boxes.perBox.push_back([&] { f.Timer1Timer(); });
    f.korosu_bClick();
    EXPECT_EQ(kinds(), (std::vector<std::string>{"confirm", "message", "message", "error"}));
    EXPECT_FALSE(f.closed());
    EXPECT_TRUE(control<QPushButton>(f, "sagasu_b")->isEnabled());
    const std::vector<std::string> sounds = heard();
    EXPECT_EQ(std::count(sounds.begin(), sounds.end(), "3.wav"), 0);
    for (QTimer* t : timers(f)) EXPECT_TRUE(t->isActive());
}

TEST_F(Reentry, PetLivesOnWhileTheKillIsBeingConfirmed) {
    TForm1& f = start(healthy());
    boxes.answer = true;
    uint8_t frameBehindTheBox = 0;
    boxes.perBox.push_back([&] {
        f.Timer5Timer();
        f.Timer1Timer();
        frameBehindTheBox = f.faceFrame();
    });
    f.korosu_bClick();
    EXPECT_EQ(frameBehindTheBox, 1);
    EXPECT_EQ(heard(), std::vector<std::string>{"3.wav"});
    EXPECT_EQ(f.pet().condition, sinu);
    EXPECT_TRUE(control<QPushButton>(f, "sagasu_b")->isEnabled());
    EXPECT_FALSE(f.closed());
}

TEST_F(Reentry, NamingDialogOpenWhileTheClocksRun) {
    TForm1& f = startEmpty();
    boxes.perBox.push_back([&] {
        for (int i = 0; i < 3; ++i) {
            f.Timer1Timer();
            f.Timer2Timer();
            f.Timer3Timer();
            f.Timer5Timer();
        }
        nameIt("ぴこ")();
    });
    f.sagasu_bClick();
    EXPECT_EQ(f.pet().age, 1);
    EXPECT_EQ(f.pet().ark_points, 0);
    EXPECT_EQ(f.pet().condition, futu);
    const std::vector<std::string> sounds = heard();
    EXPECT_EQ(std::count(sounds.begin(), sounds.end(), "4.wav"), 3);
    EXPECT_EQ(kinds(), std::vector<std::string>{"dialog"});
}

TEST_F(Reentry, NoSearchAfterTheProgramSaidGoodbye) {
    TForm1& f = startEmpty();
    boxes.perBox.push_back([&] { ASSERT_TRUE(f.close()); });
    f.sagasu_bClick();
    EXPECT_TRUE(f.closed());
    EXPECT_TRUE(control<QPushButton>(f, "sagasu_b")->isEnabled());
    EXPECT_EQ(savedPet().condition, 0);
    EXPECT_TRUE(heard().empty());
}
