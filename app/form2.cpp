#include "app/form2.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

#include "app/fonts.h"
#include "app/message_boxes.h"
#include "app/qt_text.h"
#include "app/text_box.h"
#include "platform/cp932.h"

TForm2::TForm2(QWidget* parent, MessageBoxes& boxes)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      boxes_(boxes) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString::fromUtf8("なまえいれてね"));
    setFixedSize(347, 200);
    setFont(gothicFont(true, 12, false));
    setModal(true);

    Label1 = new QLabel(QString::fromUtf8("なまえいれてね"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setGeometry(120, 20, 111, 16);
    Label1->setFont(gothicFont(true, 16, true));

    edit_l = new PetLineEdit(16, this);
    edit_l->setObjectName(QStringLiteral("edit_l"));
    edit_l->setGeometry(55, 64, 237, 24);
    edit_l->setFont(gothicFont(true, 16, true));

    edit_b = new QPushButton(QString::fromUtf8("おっけ"), this);
    edit_b->setObjectName(QStringLiteral("edit_b"));
    edit_b->setGeometry(139, 128, 73, 25);
    edit_b->setFont(gothicFont(true, 13, true));
    // Enter in the box must not close the dialog behind the button's back.
    edit_b->setAutoDefault(false);
    edit_b->setDefault(false);
    setTabOrder(edit_l, edit_b);
    connect(edit_b, &QPushButton::clicked, this, &TForm2::edit_bClick);
}

void TForm2::edit_bClick() {
    const std::string name = cp932Text(Cp932LineValidator::clean(edit_l->text()));
    if (name.empty()) {
        boxes_.message(this, cp932("なまえいれてね"));
        return;
    }
    // The window stores the name and says so (2.wav) before the dialog goes.
    emit named(name);
    accept();
}

void TForm2::reject() {}

void TForm2::closeEvent(QCloseEvent* event) { event->ignore(); }
