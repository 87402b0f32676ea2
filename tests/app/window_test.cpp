// The windows and the program entry, for their wiring only: each button and clock reaches its rule,
// shows the result and plays its sound; the boxes, what may happen while one is open, and the session.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>
#include <QApplication>
#include <QCloseEvent>
#include <QInputMethodEvent>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <cstring>
#include "app/care.h"
#include "app/life_clock.h"
#include "app/program.h"
#include "app/qt_text.h"
#include "app/session_end.h"
#include "app/single_instance.h"
#include "app/text_box.h"
#include "tests/app/helpers.h"
#include "tests/support/support.h"

namespace {
using Names = std::vector<std::string>;
constexpr QImage::Format kRgb = QImage::Format_RGB32;

TForm1* theWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<TForm1*>(w)) return f;
    return nullptr;
}

struct Window : WindowTest {
    Window() : WindowTest(1) {}
    TForm1& start(std::optional<PetState> pet = std::nullopt) {
        if (!dir.exists("cg")) dir.copyCg();
        open(1, pet);
        boxes.shown.clear();
        ear->heard();
        return *form;
    }
    // What the user does in the naming dialog: type the name, press おっけ.
    void name(const char* name) {
        control<PetLineEdit>(*naming, "edit_l")->setText(QString::fromUtf8(name));
        naming->edit_bClick();
    }
    Names kinds() const {
        Names k;
        for (const auto& s : boxes.shown) k.push_back(s.kind);
        return k;
    }
    QString shown(const char* label) const { return control<QLabel>(*form, label)->text(); }
    // The enabled ones of the four buttons that follow the pet's life.
    std::string enabled() const {
        std::string on;
        for (const char* b : {"sagasu_b", "gohan_b", "edit_b", "korosu_b"})
            if (control<QPushButton>(*form, b)->isEnabled()) on += std::string(on.empty() ? "" : " ") + b;
        return on;
    }
    QImage picture(const char* file, int frame = -1) const {
        const QImage whole = QImage(QString::fromStdString(dir.path() + "cg/" + file)).convertToFormat(kRgb);
        return frame < 0 ? whole : whole.copy(100 * frame, 0, 100, 100);
    }
    QImage cgShows() const { return control<PetPicture>(*form, "cg")->pixmap().toImage().convertToFormat(kRgb); }
};

TEST_F(Window, TimersRunFromCreationEvenBehindFormCreatesBox) {
    int active = 0;
    boxes.whileOpen = [&] { for (QTimer* t : timers(*theWindow())) active += t->isActive(); };
    TForm1 f(testServices(boxes, random, dir.path()));  // no my.dat: the load's box opens
    EXPECT_EQ(std::tuple(active, boxes.shown.at(0).text), std::tuple(7, cp932("ﾌｧｲﾙが見つかりません.")));
}

// Each tick reads the face strip's file again, but decodes it only when the file changed: another
// inode, size or modification time. A removed strip is the load error at the next tick.
TEST_F(Window, TheFaceStripIsDecodedAgainOnlyWhenItsFileChanges) {
    TForm1& f = start(healthyPet());
    const std::string strip = dir.path() + "cg/futu.bmp", bytes = dir.read("cg/futu.bmp");
    f.Timer5Timer();
    const qint64 first = f.cg2Strip().cacheKey();
    f.Timer5Timer();
    EXPECT_EQ(f.cg2Strip().cacheKey(), first) << "unchanged: the picture decoded before";
    EXPECT_EQ(f.faceBitmap(), picture("futu.bmp", 0));
    const std::string other = dir.read("cg/naku.bmp");
    std::filesystem::remove(strip);
    dir.write("cg/futu.bmp", other);  // replaced while the pet lives
    f.Timer5Timer();
    EXPECT_NE(f.cg2Strip().cacheKey(), first);
    EXPECT_EQ(f.faceBitmap(), picture("naku.bmp", 1));
    std::filesystem::remove(strip);
    f.Timer5Timer();
    EXPECT_EQ(boxes.shown.size(), 1u) << "removed: the load error";
}

TEST_F(Window, ClocksButtonsAndClicksReachTheirRulesAndShowTheirResults) {
    PetState p = healthyPet();
    std::tie(p.ark_points, p.word_count) = std::tuple(6000, 12);
    TForm1& f = start(p);
    EXPECT_EQ(enabled(), "gohan_b edit_b korosu_b");
    f.Timer1Timer();  // the status
    EXPECT_EQ(std::tuple(shown("state_n"), shown("state_l"), shown("state_l2")),
              std::tuple(qtText(p.pet_name), qtText(statusText(p)), qtText("6000" + cp932("点"))));
    for (auto [badge, message] : {std::pair{"clear_b2", *arkBadgeMessage("Ark Lv1")},
                                  {"clear_b", *intellectBadgeMessage(cp932("知能Lv1"), 12)}}) {
        auto* b = control<QPushButton>(f, badge);
        ASSERT_FALSE(b->isHidden()) << badge;
        b->click();
        EXPECT_EQ(boxes.shown.back().text, message);
    }
    f.Timer3Timer();
    f.Timer2Timer();
    EXPECT_EQ(std::tuple(ear->heard(), f.pet().age, f.pet().fullness), std::tuple(Names{"4.wav"}, 4, 9));
    f.Timer5Timer();  // frame 1 of the strip, copied into the face
    EXPECT_EQ(f.faceBitmap(), picture("futu.bmp", 1));
    // Speech, sleep and the condition sounds come now and then: tick until they do.
    for (int i = 0; i < 200 && shown("moji_l").isEmpty(); ++i) f.Timer4Timer();
    EXPECT_FALSE(shown("moji_l").isEmpty());
    control<QPushButton>(f, "gohan_b")->click();
    EXPECT_EQ(std::tuple(ear->heard(), f.pet().fullness), std::tuple(Names{"2.wav"}, 12));
    QTest::mouseClick(control<PetPicture>(f, "cg"), Qt::LeftButton);
    EXPECT_EQ(ear->heard(), Names{"1.wav"});
    auto* edit = control<PetLineEdit>(f, "edit_l");
    edit->setText("hello");
    QTest::keyClick(edit, Qt::Key_Return);
    edit->setText("again");
    control<QPushButton>(f, "edit_b")->click();
    EXPECT_EQ(ear->heard(), (Names{"2.wav", "4.wav", "2.wav", "4.wav"}));
    EXPECT_EQ(std::tie(f.pet().word_count, f.pet().words[12], f.pet().words[13]), std::tuple(14, "hello", "again"));
    EXPECT_EQ(edit->text(), "");
    QTest::mouseClick(control<ClickLabel>(f, "moji_l"), Qt::LeftButton);
    EXPECT_EQ(boxes.shown.back().text, aboutText());
    for (int i = 0; i < 200 && f.pet().condition != neru; ++i) f.Timer6Timer();
    ASSERT_EQ(f.pet().condition, neru);
    Names heard;
    for (int i = 0; i < 200 && heard.empty(); ++i) {
        f.Timer7Timer();
        heard = ear->heard();
    }
    EXPECT_EQ(heard, Names{"5.wav"});
}

TEST_F(Window, TheDeadPetSavedLeavesOnlySearchWhichNamesTheNewPetAndKillAsksFirst) {
    PetState none;
    none.condition = sinu;  // no pet kept
    TForm1& f = start(none);
    EXPECT_EQ(std::tuple(enabled(), cgShows()), std::tuple("sagasu_b", picture("door.bmp")));
    bool stays = false;
    boxes.perBox.push_back([&] {
        naming->open();
        naming->edit_bClick();  // no name yet: a box asks for one
        naming->reject();  // Escape and the window manager's close leave nothing
        naming->close();
        stays = naming->isVisible();
        name("ぴこ");
    });
    control<QPushButton>(f, "sagasu_b")->click();
    EXPECT_TRUE(stays && !naming->isVisible());
    EXPECT_EQ(std::tuple(kinds(), boxes.shown.at(1).text, f.pet().pet_name),
              std::tuple(Names{"dialog", "message"}, cp932("なまえいれてね"), cp932("ぴこ")));
    EXPECT_EQ(std::tuple(ear->heard(), enabled()), std::tuple(Names{"2.wav", "1.wav"}, "gohan_b edit_b korosu_b"));
    const PetState found = f.pet();
    boxes.answer = false;
    control<QPushButton>(f, "korosu_b")->click();
    EXPECT_EQ(std::tuple(boxes.shown.back().text, f.pet(), ear->heard()), std::tuple(killQuestion(), found, Names{}));
    boxes.answer = true;
    control<QPushButton>(f, "korosu_b")->click();
    EXPECT_EQ(ear->heard(), Names{"3.wav"});
    EXPECT_TRUE(!shown("moji_l").isEmpty() && shown("state_l").isEmpty());  // the last words, no status
    EXPECT_EQ(std::tuple(enabled(), cgShows()), std::tuple("sagasu_b", picture("sinu.bmp")));
    EXPECT_EQ(std::tie(f.pet().condition, f.pet().age, f.pet().pet_name), std::tuple(sinu, 1, cp932("ぴこ")));
}

TEST_F(Window, CloseSaysGoodbyeThenSavesAndAFailedSaveKeepsItOpen) {
    TForm1& f = start(healthyPet());
    std::filesystem::remove(dir.path() + "my.dat");
    std::filesystem::create_directory(dir.path() + "my.dat");  // cannot be replaced
    EXPECT_FALSE(f.close());
    EXPECT_EQ(std::tuple(kinds(), boxes.shown[0].text),
              std::tuple(Names{"message", "error"}, cp932("またやってね！")));
    std::filesystem::remove(dir.path() + "my.dat");
    bool savedBehindTheBox = true;
    boxes.whileOpen = [&] {
        savedBehindTheBox = dir.exists("my.dat");
        QCloseEvent again;  // the window manager's close is refused while the box is open
        QCoreApplication::sendEvent(&f, &again);
        EXPECT_FALSE(again.isAccepted());
    };
    EXPECT_TRUE(f.close() && !savedBehindTheBox);
    EXPECT_EQ(saved(), healthyPet());
    for (QTimer* t : timers(f)) EXPECT_FALSE(t->isActive());
}

// Boxes are modal, but the clocks keep running behind them.
TEST_F(Window, DeathsAndFindsWhileABoxIsOpen) {
    PetState p = healthyPet();
    p.fullness = 17;
    TForm1& f = start(p);
    f.gohan_bClick();
    boxes.perBox.push_back([&] { for (int i = 0; i < 2; ++i) f.Timer1Timer(); });
    EXPECT_TRUE(f.close());
    EXPECT_EQ(std::tuple(kinds(), boxes.shown.at(1).text),
              std::tuple(Names{"message", "message"}, p.pet_name + cp932("は死んだ・・・")));
    const PetState back = saved();
    EXPECT_EQ(std::tie(back.condition, back.age, back.fullness), std::tuple(sinu, 1, 20));
    // Old age while a kill is being confirmed: the goodbye comes first, no kill after it.
    std::tie(p.fullness, p.age) = std::tuple(10, 20);
    TForm1& g = start(p);
    boxes.answer = true;  // even a yes that comes after the goodbye
    boxes.perBox.push_back([&] {
        g.Timer3Timer();
        g.Timer1Timer();
    });
    g.korosu_bClick();
    EXPECT_EQ(std::tuple(kinds(), boxes.shown[1].text),
              std::tuple(Names{"confirm", "message", "message"}, p.pet_name + cp932("は寿命で死んだ・・・")));
    EXPECT_EQ(std::tuple(ear->heard(), g.closed(), saved()), std::tuple(Names{"4.wav"}, true, g.pet()));  // no "3.wav"
    // The naming dialog: the found pet wins over the aging behind it; after the goodbye no pet is found.
    std::filesystem::remove(dir.path() + "my.dat");
    TForm1& h = start();
    boxes.perBox.push_back([&] {
        for (int i = 0; i < 3; ++i) h.Timer3Timer();
        name("p");
    });
    h.sagasu_bClick();
    EXPECT_EQ(std::tie(h.pet().age, h.pet().ark_points), std::tuple(1, 0));
    start();
    boxes.perBox.push_back([&] { ASSERT_TRUE(form->close()); });
    form->sagasu_bClick();
    PetState none;
    none.condition = sinu;  // the empty room, saved as such: the next start offers さがす again
    EXPECT_EQ(std::tuple(enabled(), saved(), ear->heard()), std::tuple("sagasu_b", none, Names{}));
}

// A death whose save failed leaves the window open with the kill still enabled; answered Yes, it kills.
TEST_F(Window, AKillAfterADeathWhoseSaveFailedRunsItsSteps) {
    PetState p = healthyPet();
    p.age = 21;
    TForm1& f = start(p);
    ScriptedFileFaults disk;
    disk.answer = [](FileStep step, const std::string&) { return step == FileStep::CheckTarget ? EACCES : 0; };
    FileFaults::Use useDisk(disk);
    f.Timer1Timer();  // old age: its box, the farewell, the save refused
    EXPECT_EQ(std::tuple(kinds(), f.closed(), enabled()),
              std::tuple(Names{"message", "message", "error"}, false, "sagasu_b gohan_b edit_b korosu_b"));
    ear->heard();
    control<QPushButton>(f, "korosu_b")->click();
    EXPECT_EQ(std::tuple(ear->heard(), enabled(), shown("moji_l").isEmpty()), std::tuple(Names{"3.wav"}, "sagasu_b", false));
}

// What the user does reaches my.dat within a second, what the clocks change within a minute, nothing is
// written while nothing changes, and with no pet kept the empty room is written.
TEST_F(Window, CheckpointsKeepMyDatNearThePet) {
    std::atomic<int> writes = 0;
    ScriptedFileFaults disk;
    disk.answer = [&](FileStep step, const std::string&) { return (writes += step == FileStep::Create), 0; };
    FileFaults::Use useDisk(disk);
    TForm1& f = start(healthyPet());
    auto* soon = control<QTimer>(f, "CheckpointSoon");
    auto* every = control<QTimer>(f, "CheckpointTimer");
    EXPECT_TRUE(every->isActive() && every->interval() <= 60000 && !soon->isActive());
    const auto checkpoint = [&] {
        soon->stop();
        f.checkpoint();
        f.waitForCheckpoints();
        return writes.load();
    };
    EXPECT_EQ(checkpoint(), 0) << "my.dat already holds the pet";
    for (const char* b : {"gohan_b", "korosu_b"}) {
        control<QPushButton>(f, b)->click();
        EXPECT_TRUE(soon->isActive() && soon->isSingleShot() && soon->interval() <= 2000) << b;
        EXPECT_EQ(checkpoint(), b[0] == 'g' ? 1 : 2) << b;
        EXPECT_EQ(saved(), f.pet()) << b;
    }
    f.cgClick();  // petting changes the stored gauges of no pet too
    f.Timer2Timer();
    EXPECT_EQ(checkpoint(), 3);
    EXPECT_EQ(std::tuple(checkpoint(), saved()), std::tuple(3, f.pet()));
    std::filesystem::remove(dir.path() + "my.dat");
    TForm1& g = start();  // a first start: no pet found yet
    g.checkpoint();
    g.waitForCheckpoints();
    EXPECT_EQ(std::tuple(saved().condition, g.backupPending()), std::tuple(sinu, false));
}

TEST_F(Window, InputMethodCommitsGoThroughTheFiltersOfTyping) {
    TForm1& f = start();
    for (QLineEdit* box : {control<QLineEdit>(f, "edit_l"), control<QLineEdit>(*naming, "edit_l")}) {
        const auto commit = [box](const QString& text) {
            QInputMethodEvent composing(text.left(2), {}), done;
            done.setCommitString(text);
            QCoreApplication::sendEvent(box, &composing);
            QCoreApplication::sendEvent(box, &done);
        };
        // CR, LF, 0x1A and what CP932 cannot hold stay out; U+301C is the ～ of Linux input methods.
        commit(QString::fromUtf8("こんにちは〜\r\n\x1a😀ソ"));
        EXPECT_EQ(cp932Text(box->text()), "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\x81\x60\x83\x5c");
        commit(QString(40, QChar(0x3042)));
        EXPECT_EQ(box->text().size(), box->maxLength());
    }
}

struct Program : ::testing::Test {
    TempDir dir;
    ScriptedBoxes boxes;
    Random random{7};
    int saves = 0;     // replaces of my.dat begun (its backup not counted)
    int failWith = 0;  // the errno every write into a new my.dat fails with
    ScriptedFileFaults disk;
    FileFaults::Use useDisk{disk};

    Program() {
        disk.answer = [this](FileStep step, const std::string& path) {
            if (path.ends_with(".bak")) return 0;
            saves += step == FileStep::Create;
            return step == FileStep::Write ? failWith : 0;
        };
    }
    int run() { return runPiko(testServices(boxes, random, dir.path())); }
};

TEST_F(Program, TheSessionsEndSavesOnceWithoutABox) {
    // An end while the farewell box is open saves once; one with none open shows none; a failed save ends with 1.
    dir.write("my.dat", serializePet(healthyPet()) + "trailing bytes a save drops");
    boxes.whileOpen = [] {
        ::raise(SIGTERM);
        EXPECT_TRUE(QTest::qWaitFor([] { return theWindow() && theWindow()->sessionEnded(); }, 5000));
    };
    QTimer::singleShot(20, [] { theWindow()->close(); });
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(std::tuple(saves, boxes.shown.size()), std::tuple(1, 1u));  // the farewell box only
    EXPECT_EQ(dir.read("my.dat"), serializePet(healthyPet()));
    boxes.whileOpen = nullptr;
    boxes.shown.clear();
    failWith = ENOSPC;
    QTimer::singleShot(20, [] { ::raise(SIGTERM); });
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(std::tuple(boxes.shown.size(), dir.read("my.dat")), std::tuple(0u, serializePet(healthyPet())));
}

TEST_F(Program, TheSecondStartRaisesTheFirstOrGivesUpWithTheBox) {
    // The first in a thread of its own, answering as a running piko does: its window comes up, no box.
    QThread thread;
    thread.start();
    QObject home;
    home.moveToThread(&thread);
    const auto there = [&](const std::function<void()>& f) {
        QMetaObject::invokeMethod(&home, f, Qt::BlockingQueuedConnection);
    };
    std::unique_ptr<SingleInstance> first;
    std::atomic<int> raises = 0;
    there([&] {
        first = std::make_unique<SingleInstance>(dir.path());
        QObject::connect(first.get(), &SingleInstance::raiseRequested, [&] { ++raises; });
    });
    ASSERT_EQ(first->state(), SingleInstance::State::Owner);
    EXPECT_EQ(run(), kAlreadyOpenExitCode);
    EXPECT_TRUE(QTest::qWaitFor([&] { return raises == 1; }, 5000));
    EXPECT_TRUE(boxes.shown.empty() && !dir.exists("my.dat"));
    if (geteuid() == 0) {
        // Another user cannot start this pet beside us (a folder shared with that user: the lock is ours, 0644).
        ::chmod(dir.path().c_str(), 0755);
        EXPECT_EQ(asAUser({}, [&] { return int(SingleInstance(dir.path()).state()); }),
                  int(SingleInstance::State::Busy));
        there([&] { first.reset(); });
        // Alone, that user owns the pet through a descriptor it may only read.
        EXPECT_EQ(asAUser({}, [&] { return int(SingleInstance(dir.path()).state()); }),
                  int(SingleInstance::State::Owner));
        ::chmod(dir.path().c_str(), 0700);
    }
    there([&] { first.reset(); });
    thread.quit();
    thread.wait();
    for (const bool listening : {true, false}) {
        // A first that never answers (it runs no event loop while we ask), or one that does not listen
        // (the lock held by hand): the box says the pet is open.
        boxes.shown.clear();
        auto hung = listening ? std::make_unique<SingleInstance>(dir.path()) : nullptr;
        const int fd = listening ? -1 : ::open((dir.path() + "my.dat.lock").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_TRUE(listening ? hung->state() == SingleInstance::State::Owner : ::flock(fd, LOCK_EX | LOCK_NB) == 0);
        EXPECT_EQ(run(), kAlreadyOpenExitCode);
        ASSERT_EQ(boxes.shown.size(), 1u) << listening;
        EXPECT_EQ(boxes.shown.at(0).text, cp932("ピコはもう開いています。"));
        if (fd >= 0) ::close(fd);
    }
}

// Started under nohup: the hang-up stays ignored while the session's end listens for the others.
TEST(SessionEndSignals, AnIgnoredHangUpStaysIgnored) {
    struct sigaction ignore {}, old {}, during {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGHUP, &ignore, &old);
    {
        SessionEnd ending;
        ::sigaction(SIGHUP, nullptr, &during);
        EXPECT_EQ(during.sa_handler, SIG_IGN);
        QSignalSpy ended(&ending, &SessionEnd::ended);
        ::raise(SIGTERM);
        ASSERT_TRUE(ended.wait(5000));
        EXPECT_EQ(ended.at(0).at(0).toInt(), SIGTERM);
    }
    ::sigaction(SIGHUP, &old, nullptr);
}

// The real boxes: a pet's name is never read as markup, CR breaks the line, Escape is No.
TEST(QtBoxes, PlainTextLinesAndAConfirmationLeftWithoutYesIsNo) {
    QtMessageBoxes boxes;
    QString text;
    const auto answer = [&text](Qt::Key key) {
        QTimer::singleShot(0, [&text, key] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            text = box->textFormat() == Qt::PlainText ? box->text() : QString();
            QTest::keyClick(box, key);
        });
    };
    answer(Qt::Key_Return);
    boxes.message(nullptr, cp932("<b>ぴこ</b>") + "\r" + cp932("またね"));
    EXPECT_EQ(text, QString::fromUtf8("<b>ぴこ</b>\nまたね"));
    answer(Qt::Key_Y);
    EXPECT_TRUE(boxes.confirm(nullptr, "?"));
    answer(Qt::Key_Escape);
    EXPECT_FALSE(boxes.confirm(nullptr, "?"));
}

}  // namespace
