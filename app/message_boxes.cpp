#include "app/message_boxes.h"

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/qt_text.h"
#include "platform/cp932.h"

std::string applicationTitle() { return cp932("ピコ日記"); }

std::string errorBoxText(const std::string& message) {
    if (message.empty()) return message;
    // The last character, not the last byte: a trail byte of a double-byte character may be anything.
    size_t i = 0, last = 0;
    while (i < message.size()) {
        last = i;
        const uint8_t b = uint8_t(message[i]);
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        i += (lead && i + 1 < message.size()) ? 2 : 1;
    }
    return uint8_t(message[last]) > uint8_t('.') ? message + "." : message;
}

namespace {
int runBox(QWidget* parent, QMessageBox::Icon icon, const std::string& caption, const std::string& text,
           bool yesNo) {
    QMessageBox box(icon, qtText(caption), qtText(text), QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    if (yesNo) {
        box.addButton(qtText(cp932("はい(&Y)")), QMessageBox::YesRole);
        QPushButton* no = box.addButton(qtText(cp932("いいえ(&N)")), QMessageBox::NoRole);
        box.setEscapeButton(no);
        box.exec();
        return box.buttonRole(box.clickedButton()) == QMessageBox::YesRole;
    }
    box.addButton(QMessageBox::Ok);
    box.exec();
    return 1;
}
}  // namespace

void QtMessageBoxes::message(QWidget* parent, const std::string& text) {
    runBox(parent, QMessageBox::NoIcon, applicationTitle(), text, false);
}
void QtMessageBoxes::error(QWidget* parent, const std::string& text) {
    runBox(parent, QMessageBox::Critical, applicationTitle(), text, false);
}
bool QtMessageBoxes::confirm(QWidget* parent, const std::string& text) {
    return runBox(parent, QMessageBox::Question, cp932("確認"), text, true) != 0;
}
void QtMessageBoxes::fatal(const std::string& text) {
    runBox(nullptr, QMessageBox::Critical, cp932("ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ"), text, false);
}
void QtMessageBoxes::showModal(QDialog& dialog) { dialog.exec(); }
