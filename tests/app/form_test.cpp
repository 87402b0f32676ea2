#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCloseEvent>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTest>

#include "app/form1.h"
#include "app/form2.h"
#include "app/program.h"
#include "app/text_box.h"
#include "platform/cp932.h"
#include "platform/virtual_wave_out.h"
#include "tests/support/support.h"

namespace {

class FormTest : public ::testing::Test {
protected:
    TempDir dir;
    ScriptedBoxes boxes;
    Random random{1};

    FormServices services() {
        FormServices s = testServices(boxes, random, dir.path());
        s.clockSeed = [] { return 20260u; };
        return s;
    }

    static std::string saved(const std::string& name, int condition) {
        PetState p;
        p.pet_name = name;
        p.age = 2;
        p.condition = condition;
        p.word_count = 1;
        p.words[0] = cp932("ことば");
        return serializePet(p);
    }

    // Asks the window to close as the window manager does; true when it closed.
    static bool requestClose(TForm1& form) {
        QCloseEvent e;
        QCoreApplication::sendEvent(&form, &e);
        return e.isAccepted();
    }
};

struct Expect {
    QWidget* w;
    QRect geometry;
    const char* text;
    bool enabled;
    bool hidden;
};

}  // namespace

TEST_F(FormTest, WindowMatchesTheLayout) {
    dir.copyCg();
    dir.write("my.dat", saved("piko", futu));
    {
        // One window at a time: each holds the process's one mixer session.
        TForm1 f(services());
        EXPECT_EQ(toCp932(f.windowTitle().toStdString()),
                  cp932("ピコ日記") + " " + cp932("Ｖｅｒ１．０") + "     " + cp932("ｂｙﾄﾗﾝﾎﾟ･ﾊｳｽ"));
        EXPECT_EQ(f.size(), QSize(412, 262));
        EXPECT_EQ(f.minimumSize(), f.maximumSize());
        EXPECT_FALSE(f.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(f.windowFlags() & Qt::WindowCloseButtonHint);
    }

    // A fresh window, before FormCreate changes anything, is what the layout says.
    TempDir bare;
    FormServices s = services();
    s.petDir = bare.path();
    s.cgDir = bare.path() + "cg/";
    TForm1 g(s);
    const Expect controls[] = {
        {control<PetPicture>(g, "cg"), {208, 4, 200, 200}, "", true, false},
        {control<ClickLabel>(g, "moji_l"), {4, 104, 201, 101}, "moji_l", true, false},
        {control<QLabel>(g, "state_l"), {4, 28, 201, 57}, "state_l", true, false},
        {control<QLabel>(g, "cg2"), {412, 4, 101, 61}, "", true, true},
        {control<QLabel>(g, "Label1"), {4, 84, 201, 17}, "Ａｒｋ：", true, false},
        {control<QLabel>(g, "state_l2"), {56, 80, 89, 25}, "", true, false},
        {control<QLabel>(g, "state_n"), {4, 4, 201, 25}, "なまえ", true, false},
        {control<PetLineEdit>(g, "edit_l"), {76, 208, 333, 24}, "", true, false},
        {control<QPushButton>(g, "edit_b"), {4, 208, 73, 25}, "話し掛ける", false, false},
        {control<QPushButton>(g, "sagasu_b"), {4, 236, 73, 25}, "さがす", true, false},
        {control<QPushButton>(g, "korosu_b"), {244, 236, 165, 25}, "ころして、最初からする", false, false},
        {control<QPushButton>(g, "gohan_b"), {80, 236, 161, 25}, "ごはん", false, false},
        {control<QPushButton>(g, "clear_b"), {144, 80, 61, 21}, "Ark Lv1", true, true},
        {control<QPushButton>(g, "clear_b2"), {144, 60, 61, 21}, "Ark Lv1", true, true},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.w->metaObject()->className() + std::string(" ") + c.text);
        EXPECT_EQ(c.w->geometry(), c.geometry);
        EXPECT_EQ(c.w->isEnabled(), c.enabled);
        EXPECT_EQ(c.w->isHidden(), c.hidden);
        QString text;
        if (auto* l = qobject_cast<QLabel*>(c.w)) text = l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(c.w)) text = b->text();
        if (auto* e = qobject_cast<QLineEdit*>(c.w)) text = e->text();
        EXPECT_EQ(text, QString::fromUtf8(c.text));
    }
    EXPECT_EQ(control<PetLineEdit>(g, "edit_l")->maxLength(), 30);
    EXPECT_EQ(control<ClickLabel>(g, "moji_l")->font().pixelSize(), 21);
    EXPECT_EQ(control<QLabel>(g, "state_n")->font().pixelSize(), 24);
    EXPECT_TRUE(control<QLabel>(g, "state_l2")->font().italic());
    EXPECT_EQ(control<QLabel>(g, "state_n")->font().families().front(), "IPAGothic");
    EXPECT_EQ(control<ClickLabel>(g, "moji_l")->font().families().front(), "IPAPGothic");
    EXPECT_EQ(control<ClickLabel>(g, "moji_l")->palette().color(QPalette::WindowText), QColor(255, 0, 255));
    EXPECT_EQ(control<ClickLabel>(g, "moji_l")->palette().color(QPalette::Window), QColor(0, 0, 0));
    EXPECT_EQ(control<QLabel>(g, "state_n")->textFormat(), Qt::PlainText);
    // Tab order: edit_l, edit_b, sagasu_b, korosu_b, gohan_b, clear_b, clear_b2.
    EXPECT_EQ(control<PetLineEdit>(g, "edit_l")->nextInFocusChain(), control<QPushButton>(g, "edit_b"));
    EXPECT_EQ(control<QPushButton>(g, "sagasu_b")->nextInFocusChain(), control<QPushButton>(g, "korosu_b"));
    EXPECT_EQ(control<QPushButton>(g, "korosu_b")->nextInFocusChain(), control<QPushButton>(g, "gohan_b"));
    EXPECT_EQ(control<QPushButton>(g, "clear_b")->nextInFocusChain(), control<QPushButton>(g, "clear_b2"));
    // Buttons lie above the painted controls (clear_b2 over state_l).
    const auto kids = g.children();
    EXPECT_GT(kids.indexOf(control<QPushButton>(g, "clear_b2")), kids.indexOf(control<QLabel>(g, "state_l")));
    EXPECT_GT(kids.indexOf(control<QLabel>(g, "state_n")), kids.indexOf(control<ClickLabel>(g, "moji_l")));
}

TEST_F(FormTest, TimersRunFromTheWindowsCreationBehindFormCreatesBox) {
    // A first start: FormCreate's "not found" box is open while the timers run.
    int activeDuringBox = -1;
    PetState behindBox;
    boxes.whileOpen = [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<TForm1*>(w)) {
                activeDuringBox = 0;
                for (QTimer* t : timers(*form)) activeDuringBox += t->isActive();
                // The life clock ages the stored (empty) pet and pays its points meanwhile.
                form->Timer3Timer();
                behindBox = form->pet();
            }
    };
    TForm1 f(services());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(activeDuringBox, 7);
    EXPECT_EQ(behindBox.age, 1);
    EXPECT_EQ(behindBox.ark_points, 1000);
    const int intervals[] = {50, 10000, 110000, 6000, 1000, 15000, 3000};
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_TRUE(timers(f)[i]->isActive()) << i;
        EXPECT_EQ(timers(f)[i]->interval(), intervals[i]);
        EXPECT_EQ(timers(f)[i]->timerType(), Qt::PreciseTimer);
    }
}

TEST_F(FormTest, MissingFileShowsCode2AndTheLaidOutStates) {
    TForm1 f(services());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, "error");
    EXPECT_EQ(boxes.shown[0].text, cp932("ﾌｧｲﾙが見つかりません."));
    EXPECT_TRUE(control<QPushButton>(f, "sagasu_b")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(f, "edit_b")->isEnabled());
    EXPECT_EQ(control<ClickLabel>(f, "moji_l")->text(), "moji_l");
    EXPECT_EQ(f.pet(), PetState{});
    EXPECT_FALSE(f.backupPending());
    // The generator was seeded before the load.
    EXPECT_EQ(random.state(), 20260u);
}

TEST_F(FormTest, SavedStatesChooseTheButtons) {
    dir.copyCg();
    {
        dir.write("my.dat", saved("piko", sinu));
        TForm1 f(services());
        EXPECT_TRUE(boxes.shown.empty());
        EXPECT_TRUE(control<QPushButton>(f, "sagasu_b")->isEnabled());
        EXPECT_FALSE(control<QPushButton>(f, "gohan_b")->isEnabled() || control<QPushButton>(f, "edit_b")->isEnabled() || control<QPushButton>(f, "korosu_b")->isEnabled());
        EXPECT_EQ(control<QLabel>(f, "state_n")->text(), "");
        // The door replaced the stored room picture.
        EXPECT_EQ(control<PetPicture>(f, "cg")->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
                  QImage(QString::fromStdString(dir.path() + "cg/door.bmp")).convertToFormat(QImage::Format_RGB32));
    }
    {
        dir.write("my.dat", saved("piko", neru));
        TForm1 f(services());
        EXPECT_FALSE(control<QPushButton>(f, "sagasu_b")->isEnabled());
        EXPECT_TRUE(control<QPushButton>(f, "gohan_b")->isEnabled() && control<QPushButton>(f, "edit_b")->isEnabled() && control<QPushButton>(f, "korosu_b")->isEnabled());
        EXPECT_EQ(f.pet().words[0], cp932("ことば"));
    }
}

TEST_F(FormTest, MissingDoorPictureIsAFileOpenError) {
    dir.write("my.dat", saved("piko", sinu));
    TForm1 f(services());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, cp932("ﾌｧｲﾙ ") + dir.path() + cp932("cg/door.bmp は開けません."));
}

TEST_F(FormTest, CloseSaysGoodbyeBeforeSaving) {
    TForm1 f(services());
    f.Timer3Timer();  // a pet a year older than none
    boxes.shown.clear();
    bool fileExistedDuringBox = true;
    boxes.whileOpen = [&] { fileExistedDuringBox = dir.exists("my.dat"); };
    EXPECT_TRUE(requestClose(f));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, "message");
    EXPECT_EQ(boxes.shown[0].text, cp932("またやってね！"));
    EXPECT_FALSE(fileExistedDuringBox);
    EXPECT_EQ(f.pet().age, 1);
    EXPECT_EQ(dir.read("my.dat"), serializePet(f.pet()));
}

TEST_F(FormTest, CloseDuringTheFarewellBoxIsIgnored) {
    TForm1 f(services());
    boxes.shown.clear();
    boxes.whileOpen = [&] {
        boxes.whileOpen = nullptr;
        f.Timer3Timer();  // the timers go on while the box is open
        EXPECT_FALSE(requestClose(f));
    };
    EXPECT_TRUE(requestClose(f));
    EXPECT_EQ(boxes.shown.size(), 1u);
    PetState back;
    loadPetFile(dir.path() + "my.dat", back);
    EXPECT_EQ(back.age, 1);
}

TEST_F(FormTest, FailedSaveKeepsTheWindowOpenAndTriesAgain) {
    int denied = 1;
    ScriptedFileFaults disk;
    disk.answer = [&](FileStep step, const std::string&) { return step == FileStep::CheckTarget && denied ? EACCES : 0; };
    FileFaults::Use useDisk(disk);
    dir.write("my.dat", saved("piko", futu));
    TForm1 f(services());
    boxes.shown.clear();
    EXPECT_FALSE(requestClose(f));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].kind, "error");
    EXPECT_EQ(boxes.shown[1].text, cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました."));
    EXPECT_EQ(dir.read("my.dat"), saved("piko", futu));
    denied = 0;
    f.Timer3Timer();  // ages: 3
    EXPECT_TRUE(requestClose(f));
    EXPECT_EQ(boxes.shown.size(), 3u);  // one more farewell, no error
    EXPECT_EQ(boxes.shown[2].text, cp932("またやってね！"));
    PetState back;
    loadPetFile(dir.path() + "my.dat", back);
    EXPECT_EQ(back.age, 3);
}

TEST_F(FormTest, FullDiskIsCode101) {
    ScriptedFileFaults disk;
    disk.answer = [](FileStep step, const std::string&) { return step == FileStep::Write ? ENOSPC : 0; };
    FileFaults::Use useDisk(disk);
    TForm1 f(services());
    boxes.shown.clear();
    EXPECT_FALSE(requestClose(f));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, cp932("ﾃﾞｨｽｸがいっぱいです."));
    EXPECT_FALSE(dir.exists("my.dat"));
}

TEST_F(FormTest, ReadOnlyFileOnCloseForAUser) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes through permission bits";
    dir.write("my.dat", saved("piko", futu));
    ASSERT_EQ(chmod((dir.path() + "my.dat").c_str(), 0444), 0);
    TForm1 f(services());
    boxes.shown.clear();
    EXPECT_FALSE(requestClose(f));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました."));
}

TEST_F(FormTest, PartlyLoadedFileIsKeptAsideBeforeTheFirstSave) {
    const std::string damaged = "piko\r\n1\r\n2\r\nthree\r\n";
    dir.write("my.dat", damaged);
    TForm1 f(services());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, cp932("入力値が数値ではありません."));
    EXPECT_EQ(f.pet().intellect, 2);
    EXPECT_TRUE(f.backupPending());
    EXPECT_TRUE(requestClose(f));
    EXPECT_EQ(dir.read("my.dat.bak"), damaged);
    // Only the first save keeps a copy: a second one must not replace the damaged original.
    EXPECT_FALSE(f.backupPending());
    EXPECT_TRUE(requestClose(f));
    EXPECT_EQ(dir.read("my.dat.bak"), damaged);
}

TEST_F(FormTest, ErrorBoxDotRule) {
    EXPECT_EQ(errorBoxText("abc"), "abc.");
    EXPECT_EQ(errorBoxText("abc."), "abc.");
    EXPECT_EQ(errorBoxText("abc!"), "abc!");   // '!' sorts before '.'
    EXPECT_EQ(errorBoxText("abc)"), "abc)");
    EXPECT_EQ(errorBoxText("abc/"), "abc/.");  // '/' sorts after '.'
    EXPECT_EQ(errorBoxText(""), "");
    EXPECT_EQ(errorBoxText(cp932("ソ")), cp932("ソ."));  // judged by the character, not its 0x5C trail byte
}

TEST_F(FormTest, SoundMixerThatCannotStartEndsTheProgram) {
    dir.write("my.dat", saved("piko", futu));
    // A machine with no sound card: the process's device offers none.
    WaveOutDriver& shared = CurrentWaveOutDriver();
    VirtualWaveOut none;
    none.setDevices({});
    SetWaveOutDriver(&none);
    const std::string before = dir.read("my.dat");
    const int code = runPiko(services());
    SetWaveOutDriver(&shared);
    EXPECT_EQ(code, 1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, "fatal");
    EXPECT_EQ(boxes.shown[0].text, "No wave output devices available");
    EXPECT_EQ(dir.read("my.dat"), before);
}

TEST_F(FormTest, SoundsFailQuietly) {
    TForm1 f(services());
    boxes.shown.clear();
    const hMixWave before = f.preloaded().wave_last;
    f.PlaySound("no-such.wav");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(f.preloaded().wave_last, before);  // loading failed: the previous handle stays
}

TEST_F(FormTest, TextBoxesKeepOutLineBreaksAndUnstorableCharacters) {
    TForm1 f(services());
    control<PetLineEdit>(f, "edit_l")->insert(QString::fromUtf8("a\rb\nc\x1a" "d😀e〜"));
    EXPECT_EQ(control<PetLineEdit>(f, "edit_l")->text(), QString::fromUtf8("abcde〜"));
    EXPECT_EQ(toCp932(control<PetLineEdit>(f, "edit_l")->text().toStdString()), std::optional<std::string>("abcde\x81\x60"));
    control<PetLineEdit>(f, "edit_l")->clear();
    for (int i = 0; i < 40; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QString(QChar(0x3042)));
        QCoreApplication::sendEvent(control<PetLineEdit>(f, "edit_l"), &press);
    }
    EXPECT_EQ(control<PetLineEdit>(f, "edit_l")->text(), QString(30, QChar(0x3042)));
}

TEST_F(FormTest, NamingDialog) {
    dir.write("my.dat", saved("old", futu));
    TForm1 f(services());
    TForm2 d(&f, boxes);
    f.setNamingDialog(&d);
    EXPECT_EQ(d.size(), QSize(347, 200));
    EXPECT_EQ(d.windowTitle(), QString::fromUtf8("なまえいれてね"));
    EXPECT_FALSE(d.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
    EXPECT_EQ(control<PetLineEdit>(d, "edit_l")->geometry(), QRect(55, 64, 237, 24));
    EXPECT_EQ(control<QPushButton>(d, "edit_b")->geometry(), QRect(139, 128, 73, 25));
    EXPECT_EQ(control<QLabel>(d, "Label1")->geometry(), QRect(120, 20, 111, 16));
    EXPECT_EQ(control<QPushButton>(d, "edit_b")->text(), QString::fromUtf8("おっけ"));
    EXPECT_EQ(control<PetLineEdit>(d, "edit_l")->maxLength(), 16);

    boxes.shown.clear();
    d.open();
    d.edit_bClick();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, "message");
    EXPECT_EQ(boxes.shown[0].text, cp932("なまえいれてね"));
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(f.pet().pet_name, "old");

    // Escape and the window manager's close do not leave the dialog.
    QTest::keyClick(&d, Qt::Key_Escape);
    d.close();
    EXPECT_TRUE(d.isVisible());

    control<PetLineEdit>(d, "edit_l")->insert(QString::fromUtf8(" ソ "));
    d.edit_bClick();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(f.pet().pet_name, cp932(" ソ "));
    // The second showing starts with the first name.
    d.open();
    EXPECT_EQ(control<PetLineEdit>(d, "edit_l")->text(), QString::fromUtf8(" ソ "));
    d.edit_bClick();
}
