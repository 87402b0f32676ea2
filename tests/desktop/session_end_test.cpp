// The session ends (SIGTERM, SIGHUP) while the real program entry runs: the
// pet is saved as at a close, without a box, exactly once.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <csignal>

#include "app/form1.h"
#include "app/program.h"
#include "app/save_file.h"
#include "platform/cp932.h"
#include "tests/support/support.h"

namespace {

class SessionEndTest : public ::testing::Test {
protected:
    TempDir dir;
    ScriptedBoxes boxes;
    Random random{7};
    int creates = 0;  // replaces of my.dat begun (its backup not counted)
    int failWith = 0;  // the errno every write into a new my.dat fails with
    ScriptedFileFaults disk;
    FileFaults::Use useDisk{disk};

    SessionEndTest() {
        disk.answer = [this](FileStep step, const std::string& path) {
            if (path.ends_with(".bak")) return 0;
            if (step == FileStep::Create) ++creates;
            return step == FileStep::Write ? failWith : 0;
        };
    }

    FormServices services() {
        FormServices s = testServices(boxes, random, dir.path());
        s.clockSeed = [] { return 1u; };
        return s;
    }

    static TForm1* form() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<TForm1*>(w)) return f;
        return nullptr;
    }

    // Raises `signo` once the event loop runs, as a session manager or `kill` would.
    static void signalSoon(int signo) {
        QTimer::singleShot(20, [signo] { ::raise(signo); });
    }

    // Raises `signo` now and lets the event loop of the box that is open notice it.
    static void signalWhileBoxOpen(int signo) {
        ::raise(signo);
        EXPECT_TRUE(QTest::qWaitFor([] { return form() && form()->sessionEnded(); }, 5000));
    }

    PetState livingPet() {
        PetState p;
        p.pet_name = cp932("ソラ");
        p.age = 3;
        p.ark_points = -2147483647 - 1;
        p.word_count = 2;
        p.words[0] = cp932("こんにちは～");
        p.words[1] = cp932("表示");
        return p;
    }
};

TEST_F(SessionEndTest, TermAndHupSaveWithoutABoxAndEndWithZero) {
    for (int signo : {SIGTERM, SIGHUP}) {
        const PetState pet = livingPet();
        dir.write("my.dat", serializePet(pet) + "trailing bytes a save drops");
        boxes.shown.clear();
        creates = 0;
        signalSoon(signo);
        EXPECT_EQ(runPiko(services()), 0) << signo;
        EXPECT_TRUE(boxes.shown.empty()) << signo;
        EXPECT_EQ(creates, 1) << signo;
        EXPECT_EQ(dir.read("my.dat"), serializePet(pet)) << signo;
    }
}

TEST_F(SessionEndTest, BehindTheLoadErrorBoxTheEmptyRoomIsSavedAndTheLoopNeverStarts) {
    boxes.whileOpen = [] { signalWhileBoxOpen(SIGTERM); };
    EXPECT_EQ(runPiko(services()), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, "error");
    EXPECT_EQ(dir.read("my.dat"), serializePet(PetState{}));
    EXPECT_EQ(creates, 1);
}

TEST_F(SessionEndTest, DuringTheFarewellBoxThePetIsSavedOnce) {
    const PetState pet = livingPet();
    dir.write("my.dat", serializePet(pet));
    boxes.whileOpen = [this] {
        if (boxes.shown.back().text == cp932("またやってね！")) signalWhileBoxOpen(SIGTERM);
    };
    QTimer::singleShot(20, [] { form()->close(); });
    EXPECT_EQ(runPiko(services()), 0);
    EXPECT_EQ(creates, 1);
    EXPECT_EQ(dir.read("my.dat"), serializePet(pet));
    // Only the farewell box: no error box for a save that did not happen twice.
    ASSERT_EQ(boxes.shown.size(), 1u);
}

TEST_F(SessionEndTest, ASecondEndOrACloseAfterTheEndSavesNothingMore) {
    dir.write("my.dat", serializePet(livingPet()));
    TForm1 f(services());
    EXPECT_EQ(f.endSession(), 0);
    f.Timer3Timer();  // a timer still ticking as the session goes
    EXPECT_EQ(f.endSession(), 0);
    // The close the window manager sends as the session goes.
    QCloseEvent e;
    QCoreApplication::sendEvent(&f, &e);
    EXPECT_TRUE(e.isAccepted());
    EXPECT_EQ(creates, 1);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(dir.read("my.dat"), serializePet(livingPet()));
}

TEST_F(SessionEndTest, AFailedSaveKeepsTheOldFileAndEndsWithOne) {
    const std::string old = serializePet(livingPet());
    dir.write("my.dat", old);
    failWith = ENOSPC;
    signalSoon(SIGTERM);
    EXPECT_EQ(runPiko(services()), 1);
    EXPECT_EQ(dir.read("my.dat"), old);
    EXPECT_FALSE(dir.exists("my.dat.tmp"));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SessionEndTest, AfterTheProgramTheSignalsAreTheirDefaultsAgain) {
    signalSoon(SIGTERM);
    dir.write("my.dat", serializePet(livingPet()));
    ASSERT_EQ(runPiko(services()), 0);
    struct sigaction now {};
    for (int signo : {SIGTERM, SIGHUP, SIGINT}) {
        sigaction(signo, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_DFL) << signo;
    }
}

}  // namespace
