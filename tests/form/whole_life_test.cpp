// A whole life in the real window, from the search to a natural death, with
// every timer ticking in its real proportion on a 50 ms step.
#include "form_support.h"

using WholeLife = LiveForm;

TEST_F(WholeLife, FromSearchToOldAgeAndTheStoredDeadPet) {
    TForm1& f = startEmpty();
    boxes.perBox.push_back(nameIt("ぴこ"));
    f.sagasu_bClick();
    ASSERT_FALSE(control<QPushButton>(f, "sagasu_b")->isEnabled());

    int spoke = 0, faces = 0, fed = 0, agingTicks = 0;
    QString lastSaid;
    QImage lastFace;
    // A caretaker who feeds a hungry pet and chats once a minute.
    for (long step = 1; step <= 60000 && !f.closed(); ++step) {
        const long ms = step * 50;
        f.Timer1Timer();
        if (f.closed()) break;
        if (ms % 10000 == 0) f.Timer2Timer();
        if (ms % 110000 == 0) {
            f.Timer3Timer();
            ++agingTicks;
        }
        if (ms % 6000 == 0) {
            f.Timer4Timer();
            if (control<ClickLabel>(f, "moji_l")->text() != lastSaid) ++spoke, lastSaid = control<ClickLabel>(f, "moji_l")->text();
        }
        if (ms % 1000 == 0) {
            f.Timer5Timer();
            if (f.faceBitmap() != lastFace) ++faces, lastFace = f.faceBitmap();
        }
        if (ms % 15000 == 0) f.Timer6Timer();
        if (ms % 3000 == 0) f.Timer7Timer();
        if (ms % 5000 == 0 && f.pet().fullness <= 6 && f.pet().condition != neru) {
            f.gohan_bClick();
            ++fed;
        }
        if (ms % 60000 == 0) {
            control<PetLineEdit>(f, "edit_l")->setText(QString("line %1").arg(ms / 60000));
            f.edit_bClick();
        }
    }
    ASSERT_TRUE(f.closed());
    // Fed and never worn out, it lives its 20 years and dies at the 20th aging tick.
    EXPECT_EQ(agingTicks, 20);
    EXPECT_GT(fed, 0);
    EXPECT_GT(spoke, 10);
    EXPECT_GT(faces, 100);
    ASSERT_GE(boxes.shown.size(), 3u);
    const size_t n = boxes.shown.size();
    EXPECT_EQ(boxes.shown[n - 2].text, cp932("ぴこは寿命で死んだ・・・"));
    EXPECT_EQ(boxes.shown[n - 1].text, cp932("またやってね！"));
    EXPECT_EQ(saves, 1);

    const PetState back = savedPet();
    EXPECT_EQ(back.pet_name, cp932("ぴこ"));
    EXPECT_EQ(back.condition, sinu);
    EXPECT_EQ(back.age, 1);
    EXPECT_EQ(back.intellect, 1);
    EXPECT_EQ(back.morals, 10);
    EXPECT_EQ(back.vigor, 10);
    EXPECT_EQ(back.ark_points, 0);
    EXPECT_EQ(back.word_count, 36);  // one line a minute for 36 minutes
    EXPECT_EQ(back.words[0], "line 1");
    EXPECT_EQ(back.words[35], "line 36");
    EXPECT_TRUE(showsWholePicture(f, "sinu.bmp"));
}
