// Talking to the pet through the text box: Enter and the talk button.
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include "form_support.h"

namespace {
void press(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(w, &e);
}
void commit(QWidget* w, const QString& text) {
    QInputMethodEvent e;
    e.setCommitString(text);
    QCoreApplication::sendEvent(w, &e);
}
}  // namespace

using Talk = LiveForm;

TEST_F(Talk, EnterWithNoLivePetStillLearns) {
    // The stored gauges of no pet (one that died): strong and well-behaved.
    PetState p;
    p.condition = sinu;
    p.vigor = 10;
    p.morals = 10;
    TForm1& f = start(p);
    ASSERT_TRUE(control<QPushButton>(f, "sagasu_b")->isEnabled());
    control<ClickLabel>(f, "moji_l")->setText("kept");
    press(control<PetLineEdit>(f, "edit_l"), Qt::Key_Return);  // an empty box: nothing at all
    EXPECT_TRUE(heard().empty());
    EXPECT_EQ(control<ClickLabel>(f, "moji_l")->text(), "kept");

    commit(control<PetLineEdit>(f, "edit_l"), u("ごはん"));
    press(control<PetLineEdit>(f, "edit_l"), Qt::Key_A, u("～"));
    ASSERT_EQ(control<PetLineEdit>(f, "edit_l")->text(), u("ごはん～"));
    random.seed(seedFor({is(100, 42), is(8, 2), not_(4, 0)}));
    press(control<PetLineEdit>(f, "edit_l"), Qt::Key_Return);
    EXPECT_EQ(heard(), (std::vector<std::string>{"2.wav", "4.wav"}));
    EXPECT_EQ(f.pet().word_count, 1);
    EXPECT_EQ(f.pet().words[0], cp932("ごはん") + "\x81\x60");
    EXPECT_EQ(f.pet().ark_points, 42);
    EXPECT_EQ(control<ClickLabel>(f, "moji_l")->text(), u("ン？"));
    EXPECT_EQ(control<PetLineEdit>(f, "edit_l")->text(), "");

    // The keypad's Enter and the talk button do the same; other keys nothing.
    control<PetLineEdit>(f, "edit_l")->setText("b");
    press(control<PetLineEdit>(f, "edit_l"), Qt::Key_Enter);
    control<PetLineEdit>(f, "edit_l")->setText("c");
    press(control<PetLineEdit>(f, "edit_l"), Qt::Key_Tab);
    f.edit_bClick();
    EXPECT_EQ(f.pet().word_count, 3);
    EXPECT_EQ(f.pet().words[1], "b");
    EXPECT_EQ(f.pet().words[2], "c");
}

TEST_F(Talk, The257thLineIsAnsweredButNotLearned) {
    PetState p = healthy();
    p.word_count = 256;
    for (int i = 0; i < 256; ++i) p.words[size_t(i)] = "w" + std::to_string(i);
    TForm1& f = start(p);
    control<PetLineEdit>(f, "edit_l")->setText("one too many");
    press(control<PetLineEdit>(f, "edit_l"), Qt::Key_Return);
    EXPECT_EQ(heard(), (std::vector<std::string>{"2.wav", "4.wav"}));
    EXPECT_EQ(f.pet().word_count, 256);
    EXPECT_EQ(f.pet().words[255], "w255");
    EXPECT_EQ(control<PetLineEdit>(f, "edit_l")->text(), "");
    ASSERT_TRUE(f.close());
    const PetState back = savedPet();
    EXPECT_EQ(back.word_count, 256);
    EXPECT_EQ(back.words[255], "w255");
}

TEST_F(Talk, SpeechShowsWhatThePetComposes) {
    PetState p = healthy();
    p.words[0] = "<b>hi</b>";
    TForm1& f = start(p);
    for (int i = 0; i < 40 && control<ClickLabel>(f, "moji_l")->text().isEmpty(); ++i) f.Timer4Timer();
    EXPECT_TRUE(control<ClickLabel>(f, "moji_l")->text().contains("<b>hi</b>")) << "learned markup shows as typed";
    EXPECT_EQ(control<ClickLabel>(f, "moji_l")->textFormat(), Qt::PlainText);
}
