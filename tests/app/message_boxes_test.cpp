#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "app/message_boxes.h"
#include "platform/cp932.h"

namespace {
struct Seen {
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    QStringList buttons;
};
}  // namespace

TEST(QtMessageBoxes, PlainTextWithTheTitleAndLineBreaks) {
    QtMessageBoxes boxes;
    Seen seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen.caption = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.format = box->textFormat();
        box->buttons().at(0)->click();
    });
    boxes.message(nullptr, cp932("<b>ぴこ</b>") + "\r" + cp932("またね"));
    EXPECT_EQ(seen.caption, QString::fromUtf8("ピコ日記"));
    EXPECT_EQ(seen.text, QString::fromUtf8("<b>ぴこ</b>\nまたね"));
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
}

TEST(QtMessageBoxes, ErrorAndConfirmation) {
    QtMessageBoxes boxes;
    Seen seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen.icon = box->icon();
        box->buttons().at(0)->click();
    });
    boxes.error(nullptr, "x.");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);

    for (bool yes : {true, false}) {
        Seen asked;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            asked.caption = box->windowTitle();
            asked.icon = box->icon();
            for (QAbstractButton* b : box->buttons()) asked.buttons << b->text();
            for (QAbstractButton* b : box->buttons())
                if (b->text() == QString::fromUtf8(yes ? "はい(&Y)" : "いいえ(&N)")) b->click();
        });
        EXPECT_EQ(boxes.confirm(nullptr, "?"), yes);
        EXPECT_EQ(asked.caption, QString::fromUtf8("確認"));
        EXPECT_EQ(asked.icon, QMessageBox::Question);
        EXPECT_TRUE(asked.buttons.contains(QString::fromUtf8("はい(&Y)")));
        EXPECT_TRUE(asked.buttons.contains(QString::fromUtf8("いいえ(&N)")));
    }
}

TEST(QtMessageBoxes, ConfirmationLeftWithoutYesIsNo) {
    // Escape, the window manager's close and an event loop ended under the box
    // (the program quitting) all leave it without "はい".
    QtMessageBoxes boxes;
    const std::function<void(QMessageBox*)> ways[] = {
        [](QMessageBox* box) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(box, &esc);
        },
        [](QMessageBox* box) { box->close(); },
        [](QMessageBox* box) { box->hide(); },
    };
    for (const auto& leave : ways) {
        bool reached = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            reached = true;
            leave(box);
        });
        EXPECT_FALSE(boxes.confirm(nullptr, "?"));
        EXPECT_TRUE(reached);
    }
}
