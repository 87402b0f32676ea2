// The face on the real window: strips from cg/, the two frames, the picture's
// own bitmap and how load errors are reported.
#include <QPainter>

#include "form_support.h"

using Face = LiveForm;

TEST_F(Face, AlternatesFromFrameOneAndFollowsTheCondition) {
    TForm1& f = start(healthy());
    f.Timer5Timer();
    EXPECT_EQ(f.faceFrame(), 1);
    EXPECT_EQ(f.faceBitmap(), stripSquare("futu.bmp", 1));
    EXPECT_EQ(control<PetPicture>(f, "cg")->pixmap().size(), QSize(100, 100));
    f.Timer5Timer();
    EXPECT_EQ(f.faceBitmap(), stripSquare("futu.bmp", 0));
    random.seed(seedFor({is(2, 1)}));
    f.Timer6Timer();  // falls asleep
    ASSERT_EQ(f.pet().condition, neru);
    f.Timer5Timer();
    EXPECT_EQ(f.faceBitmap(), stripSquare("neru.bmp", 1));
    EXPECT_EQ(f.cg2Strip().convertToFormat(QImage::Format_RGB32),
              QImage(QString::fromStdString(dir.path() + "cg/neru.bmp")).convertToFormat(QImage::Format_RGB32));

}

TEST_F(Face, DeadButNotCarriedOutShowsFrameZeroOfSinu) {
    PetState p = healthy();
    p.fullness = 17;
    TForm1& f = start(p);
    f.Timer5Timer();
    random.seed(seedFor({is(2, 1)}));
    f.gohan_bClick();  // fed past bursting
    ASSERT_EQ(f.pet().condition, sinu);
    for (int i = 0; i < 3; ++i) {
        f.Timer5Timer();
        EXPECT_EQ(f.faceFrame(), 0);
        EXPECT_EQ(f.faceBitmap(), stripSquare("sinu.bmp", 0));
    }

    // No pet: nothing drawn, the frame does not move.
    control<QPushButton>(f, "sagasu_b")->setEnabled(true);
    const QImage before = f.faceBitmap();
    f.Timer5Timer();
    EXPECT_EQ(f.faceFrame(), 0);
    EXPECT_EQ(f.faceBitmap(), before);
}

TEST_F(Face, OutsideTheConditionsTheStripLoadedLastKeepsAlternating) {
    PetState p = healthy();
    p.condition = 11;
    TForm1& f = start(p);
    const QImage stored = f.cg2Strip().convertToFormat(QImage::Format_RGB32);
    f.Timer5Timer();
    EXPECT_EQ(f.faceBitmap(), stored.copy(100, 0, 100, 100));
    f.Timer5Timer();
    EXPECT_EQ(f.faceBitmap(), stored.copy(0, 0, 100, 100));
    EXPECT_EQ(f.cg2Strip().convertToFormat(QImage::Format_RGB32), stored);
}

TEST_F(Face, StoredStripBeforeAnyLoad) {
    PetState p = healthy();
    p.condition = -1;
    TForm1& f = start(p);
    const QImage stored = f.cg2Strip().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(stored.size(), QSize(200, 100));
    f.Timer5Timer();
    EXPECT_EQ(f.faceBitmap(), stored.copy(100, 0, 100, 100));
}

TEST_F(Face, MissingStripReportsOnceWhileOpenAndRetries) {
    TForm1& f = start(healthy());
    const std::string strip = dir.path() + "cg/futu.bmp";
    const std::string aside = dir.path() + "futu.bmp";
    std::filesystem::rename(strip, aside);
    const QImage room = control<PetPicture>(f, "cg")->pixmap().toImage();
    boxes.perBox.push_back([&] {
        // Ticks behind the open report: no second report, the frame keeps flipping.
        f.Timer5Timer();
        f.Timer5Timer();
        EXPECT_EQ(f.faceFrame(), 1);
        std::filesystem::rename(aside, strip);
    });
    f.Timer5Timer();
    ASSERT_EQ(kinds(), std::vector<std::string>{"error"});
    EXPECT_EQ(boxes.shown[0].text, cp932("ﾌｧｲﾙ ") + strip + cp932(" は開けません."));
    EXPECT_TRUE(f.faceBitmap().isNull()) << "nothing was copied: cg still shows the whole room picture";
    EXPECT_EQ(control<PetPicture>(f, "cg")->pixmap().toImage(), room);
    f.Timer5Timer();
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(f.faceBitmap(), stripSquare("futu.bmp", 0));

    // Once the report is closed, a file that is missing again is reported again.
    std::filesystem::remove(strip);
    f.Timer5Timer();
    EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST_F(Face, SmallStripIsClippedOverTheDoor) {
    PetState p = healthy();
    p.condition = sinu;
    TForm1& f = start(p);  // the door picture, whole
    EXPECT_TRUE(f.faceBitmap().isNull());
    const QImage door = QImage(QString::fromStdString(dir.path() + "cg/door.bmp")).convertToFormat(QImage::Format_RGB32);

    // A hand-made strip of 150 x 80, 8-bit like ours: red left, blue right.
    QImage small(150, 80, QImage::Format_Indexed8);
    small.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 150; ++x) small.setPixel(x, y, x < 100 ? 0 : 1);
    ASSERT_TRUE(small.save(QString::fromStdString(dir.path() + "cg/futu.bmp"), "BMP"));

    boxes.perBox.push_back(nameIt("ぴこ"));
    f.sagasu_bClick();
    f.Timer5Timer();  // frame 1: only 50 x 80 of it exists
    const QImage face = f.faceBitmap();
    ASSERT_EQ(face.size(), QSize(100, 100));
    EXPECT_EQ(face.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(face.pixel(49, 79), qRgb(0, 0, 255));
    // Outside the copy, the door shrunk to the face's size.
    const QImage shrunk = door.scaled(100, 100, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    EXPECT_EQ(face.pixel(50, 0), shrunk.pixel(50, 0));
    EXPECT_EQ(face.pixel(10, 90), shrunk.pixel(10, 90));
    f.Timer5Timer();
    EXPECT_EQ(f.faceBitmap().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(f.faceBitmap().pixel(99, 79), qRgb(255, 0, 0));
}

TEST_F(Face, ShownTwiceAsLargeWithoutSmoothing) {
    TForm1& f = start(healthy());
    f.Timer5Timer();
    const QImage face = f.faceBitmap();
    const QImage shown = control<PetPicture>(f, "cg")->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(200, 200));
    int wrong = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) wrong += shown.pixel(x, y) != face.pixel(x / 2, y / 2);
    EXPECT_EQ(wrong, 0);
}
