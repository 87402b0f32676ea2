// The care actions on the real window: search, feeding, petting, the kill,
// the about box.
#include "form_support.h"

using Care = LiveForm;

TEST_F(Care, FeedingThresholds) {
    dir.copyCg();
    const std::pair<int32_t, int32_t> cases[] = {{13, futu}, {14, fuki}, {15, byoki}, {16, byoki}, {17, sinu}};
    for (const auto& [fullness, condition] : cases) {
        SCOPED_TRACE(fullness);
        PetState p = healthy();
        p.fullness = fullness;
        TForm1& f = restart(p);
        random.seed(seedFor({is(2, 1)}));
        f.gohan_bClick();
        EXPECT_EQ(heard(), std::vector<std::string>{"2.wav"});
        EXPECT_EQ(f.pet().fullness, fullness + 3);
        EXPECT_EQ(f.pet().vigor, 10);
        EXPECT_EQ(f.pet().condition, condition);
    }
    // Burst: the next status tick carries out the death.
    form->Timer1Timer();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, cp932("ぴこは死んだ・・・"));
    EXPECT_EQ(savedPet().condition, sinu);
}

TEST_F(Care, FeedingASleepingPetOnlyMakesTheSound) {
    PetState p = healthy();
    p.condition = neru;
    TForm1& f = start(p);
    const uint32_t state = random.state();
    f.gohan_bClick();
    EXPECT_EQ(heard(), std::vector<std::string>{"2.wav"});
    EXPECT_EQ(f.pet(), p);
    EXPECT_EQ(random.state(), state);
}

TEST_F(Care, PettingWakesASleepingPet) {
    PetState p = healthy();
    p.condition = neru;
    p.vigor = 3;
    TForm1& f = start(p);
    random.seed(seedFor({is(2, 0), is(2, 0), is(2, 1)}));
    f.cgClick();
    EXPECT_EQ(heard(), std::vector<std::string>{"1.wav"});
    EXPECT_EQ(f.pet().condition, okoru);
    EXPECT_EQ(f.pet().vigor, 1);    // -1 for being weak, -1 drawn
    EXPECT_EQ(f.pet().morals, 10);  // +1 drawn, -1 for waking it

    // With no pet, petting still sounds and touches only the stored gauges.
    control<QPushButton>(f, "sagasu_b")->setEnabled(true);
    control<QLabel>(f, "state_n")->setText("kept");
    heard();
    f.cgClick();
    EXPECT_EQ(heard(), std::vector<std::string>{"1.wav"});
    EXPECT_EQ(control<QLabel>(f, "state_n")->text(), "kept");
}

TEST_F(Care, NoToTheKillChangesNothingAtAll) {
    TForm1& f = start(healthy());
    f.Timer1Timer();
    boxes.answer = false;
    const PetState before = f.pet();
    const uint32_t state = random.state();
    const QString status = control<QLabel>(f, "state_l")->text();
    f.korosu_bClick();
    ASSERT_EQ(kinds(), std::vector<std::string>{"confirm"});
    EXPECT_EQ(boxes.shown[0].text, cp932("殺しちゃうけどいいの？"));
    EXPECT_TRUE(heard().empty());
    EXPECT_EQ(f.pet(), before);
    EXPECT_EQ(random.state(), state);
    EXPECT_FALSE(control<QPushButton>(f, "sagasu_b")->isEnabled());
    EXPECT_EQ(control<QLabel>(f, "state_l")->text(), status);
}

TEST_F(Care, KillThenANewPetKeepsTheVocabulary) {
    PetState p = healthy();
    p.word_count = 12;
    for (int i = 0; i < 12; ++i) p.words[size_t(i)] = "w" + std::to_string(i);
    p.ark_points = 6000;
    TForm1& f = start(p);
    f.Timer1Timer();
    ASSERT_FALSE(control<QPushButton>(f, "clear_b")->isHidden());
    ASSERT_FALSE(control<QPushButton>(f, "clear_b2")->isHidden());

    random.seed(seedFor({is(9, 1)}));
    f.korosu_bClick();
    EXPECT_EQ(heard(), std::vector<std::string>{"3.wav"});
    EXPECT_EQ(control<ClickLabel>(f, "moji_l")->text(), u("ぴこ、アナタのこと、いい人だと思ってた・・・"));
    EXPECT_EQ(control<QLabel>(f, "state_l")->text(), "");
    EXPECT_EQ(control<QLabel>(f, "state_n")->text(), "");
    EXPECT_EQ(control<QLabel>(f, "state_l2")->text(), u("6000点"));
    EXPECT_TRUE(control<QPushButton>(f, "sagasu_b")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(f, "edit_b")->isEnabled() || control<QPushButton>(f, "gohan_b")->isEnabled() || control<QPushButton>(f, "korosu_b")->isEnabled());
    EXPECT_TRUE(control<QPushButton>(f, "clear_b")->isHidden() && control<QPushButton>(f, "clear_b2")->isHidden());
    EXPECT_TRUE(showsWholePicture(f, "sinu.bmp"));
    EXPECT_EQ(f.pet().condition, sinu);
    EXPECT_EQ(f.pet().age, 1);
    EXPECT_EQ(f.pet().ark_points, 0);
    EXPECT_FALSE(f.closed());

    // The window stays with the dead face: no speech, no face ticks, no labels.
    const QImage dead = control<PetPicture>(f, "cg")->pixmap().toImage();
    for (int i = 0; i < 5; ++i) {
        f.Timer1Timer();
        f.Timer4Timer();
        f.Timer5Timer();
    }
    EXPECT_EQ(control<PetPicture>(f, "cg")->pixmap().toImage(), dead);
    EXPECT_TRUE(f.faceBitmap().isNull());
    EXPECT_EQ(control<ClickLabel>(f, "moji_l")->text(), u("ぴこ、アナタのこと、いい人だと思ってた・・・"));
    EXPECT_FALSE(control<QPushButton>(f, "clear_b")->isHidden()) << "12 words bring the intellect badge back";
    EXPECT_TRUE(control<QPushButton>(f, "clear_b2")->isHidden());

    heard();
    boxes.shown.clear();
    boxes.perBox.push_back(nameIt("ぽこ"));
    f.sagasu_bClick();
    EXPECT_EQ(kinds(), std::vector<std::string>{"dialog"});
    EXPECT_EQ(heard(), (std::vector<std::string>{"2.wav", "1.wav"}));
    EXPECT_EQ(f.pet().pet_name, cp932("ぽこ"));
    EXPECT_EQ(f.pet().word_count, 12);
    EXPECT_EQ(f.pet().words[11], "w11");
    EXPECT_EQ(f.pet().condition, futu);
    EXPECT_FALSE(control<QPushButton>(f, "sagasu_b")->isEnabled());
    EXPECT_TRUE(control<QPushButton>(f, "edit_b")->isEnabled() && control<QPushButton>(f, "gohan_b")->isEnabled() && control<QPushButton>(f, "korosu_b")->isEnabled());
    f.Timer5Timer();
    EXPECT_EQ(f.faceBitmap(), stripSquare("futu.bmp", 1));
}

TEST_F(Care, SearchPlacesTheDialogBelowTheWindowTop) {
    TForm1& f = startEmpty();
    QPoint at;
    boxes.perBox.push_back([&] {
        at = form2->pos();
        nameIt("a")();
    });
    f.sagasu_bClick();
    EXPECT_EQ(at, f.frameGeometry().topLeft() + QPoint(0, 24));
}

TEST_F(Care, AboutBox) {
    TForm1& f = startEmpty();
    f.moji_lClick();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(std::count(boxes.shown[0].text.begin(), boxes.shown[0].text.end(), '\r'), 5);
    EXPECT_EQ(boxes.shown[0].text.rfind(cp932("つくった人、ネロリ\r"), 0), 0u);
}

TEST_F(Care, KillWithoutTheDeadFaceStillEndsThePet) {
    PetState p = healthy();
    p.ark_points = 6000;
    TForm1& f = start(p);
    std::filesystem::remove(dir.path() + "cg/sinu.bmp");
    f.Timer1Timer();
    random.seed(seedFor({is(9, 2)}));
    f.korosu_bClick();
    EXPECT_EQ(kinds(), (std::vector<std::string>{"confirm", "error"}));
    EXPECT_EQ(heard(), std::vector<std::string>{"3.wav"});
    EXPECT_EQ(control<ClickLabel>(f, "moji_l")->text(), u("恨んでやる！！"));
    EXPECT_TRUE(control<QPushButton>(f, "sagasu_b")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(f, "korosu_b")->isEnabled());
    // The reset and the badges' hiding did not happen; さがす sets everything anew.
    EXPECT_EQ(f.pet().condition, futu);
    EXPECT_EQ(f.pet().ark_points, 6000);
    EXPECT_FALSE(control<QPushButton>(f, "clear_b2")->isHidden());
}
