// Text from an input method, and pixel art on a high-resolution screen.
#include <gtest/gtest.h>

#include <QInputMethodEvent>
#include <QPainter>
#include <QTest>

#include "app/form1.h"
#include "app/form2.h"
#include "app/qt_text.h"
#include "app/text_box.h"
#include "platform/cp932.h"
#include "tests/support/support.h"

namespace {

class DesktopFormTest : public ::testing::Test {
protected:
    TempDir dir;
    ScriptedBoxes boxes;
    Random random{1};
    FormServices services() {
        FormServices s = testServices(boxes, random, dir.path());
        return s;
    }

    // What fcitx5 or IBus send: a preedit while composing, then the commit.
    static void compose(QWidget* box, const QString& preedit, const QString& commit) {
        QInputMethodEvent composing(preedit, {});
        QCoreApplication::sendEvent(box, &composing);
        QInputMethodEvent done;
        done.setCommitString(commit);
        QCoreApplication::sendEvent(box, &done);
    }
};

TEST_F(DesktopFormTest, InputMethodCommitsGoThroughTheSameFiltersAsTyping) {
    TForm1 f(services());
    TForm2 d(&f, boxes);
    for (QLineEdit* box : {control<QLineEdit>(f, "edit_l"), control<QLineEdit>(d, "edit_l")}) {
        EXPECT_TRUE(box->testAttribute(Qt::WA_InputMethodEnabled));
        EXPECT_TRUE(box->inputMethodQuery(Qt::ImEnabled).toBool());
        box->clear();
        // U+301C is the wave dash Linux input methods type for ～; CR, LF,
        // 0x1A and an emoji must not get in.
        compose(box, QString::fromUtf8("こんにちわ"), QString::fromUtf8("こんにちは〜\r\n\x1a😀ソ"));
        EXPECT_EQ(box->text(), QString::fromUtf8("こんにちは〜ソ"));
        // The bytes that reach the pet state.
        EXPECT_EQ(cp932Text(box->text()), "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\x81\x60\x83\x5c");
        compose(box, QString::fromUtf8("−"), QString::fromUtf8("−"));  // U+2212 minus
        EXPECT_EQ(cp932Text(box->text()).substr(14), "\x81\x7c");
    }
}

TEST_F(DesktopFormTest, InputMethodCommitsKeepTheLengthLimits) {
    TForm1 f(services());
    TForm2 d(&f, boxes);
    const QString forty(40, QChar(0x3042));
    compose(control<PetLineEdit>(f, "edit_l"), {}, forty);
    EXPECT_EQ(control<PetLineEdit>(f, "edit_l")->text(), QString(30, QChar(0x3042)));
    compose(control<PetLineEdit>(d, "edit_l"), {}, forty);
    EXPECT_EQ(control<PetLineEdit>(d, "edit_l")->text(), QString(16, QChar(0x3042)));
}

// True when every pixel of `image` is one of the picture's own two colours:
// stretching pixel art must not blend neighbours.
bool onlyTwoColours(const QImage& image, QRgb a, QRgb b) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y) | 0xFF000000u;
            if (c != a && c != b) return false;
        }
    return true;
}

TEST_F(DesktopFormTest, ThePictureStretchesWithoutBlurAtAnyPixelRatio) {
    TForm1 f(services());
    QImage checker(100, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 0, 255) : qRgb(0, 0, 0));
    control<PetPicture>(f, "cg")->setPixmap(QPixmap::fromImage(checker));
    for (qreal dpr : {1.0, 1.5, 2.0, 3.0}) {
        QImage shot(QSize(200, 200) * dpr, QImage::Format_RGB32);
        shot.setDevicePixelRatio(dpr);
        shot.fill(Qt::white);
        control<PetPicture>(f, "cg")->render(&shot);
        EXPECT_TRUE(onlyTwoColours(shot, qRgb(255, 0, 255), qRgb(0, 0, 0))) << dpr;
        // Each source pixel covers its own square of the stretched picture.
        const int cell = int(2 * dpr);
        if (cell == 2 * dpr) {
            EXPECT_EQ(shot.pixel(0, 0), shot.pixel(cell - 1, cell - 1)) << dpr;
            EXPECT_NE(shot.pixel(0, 0), shot.pixel(cell, 0)) << dpr;
        }
    }
}

}  // namespace
