#include "app/form2.h"

#include <QCloseEvent>

#include "app/form1.h"
#include "app/qt_text.h"
#include "app/text_box.h"
#include "platform/cp932.h"

namespace {
QFont pgothic(int pixels, bool bold) {
    QFont f;
    f.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}
}  // namespace

TForm2::TForm2(TForm1& form1)
    : QDialog(&form1, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      form1_(form1) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString::fromUtf8("なまえいれてね"));
    setFixedSize(347, 200);
    setFont(pgothic(12, false));
    setModal(true);

    Label1 = new QLabel(QString::fromUtf8("なまえいれてね"), this);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setGeometry(120, 20, 111, 16);
    Label1->setFont(pgothic(16, true));

    edit_l = new PetLineEdit(16, this);
    edit_l->setGeometry(55, 64, 237, 24);
    edit_l->setFont(pgothic(16, true));

    edit_b = new QPushButton(QString::fromUtf8("おっけ"), this);
    edit_b->setGeometry(139, 128, 73, 25);
    edit_b->setFont(pgothic(13, true));
    // Enter in the box must not close the dialog behind the button's back.
    edit_b->setAutoDefault(false);
    edit_b->setDefault(false);
    setTabOrder(edit_l, edit_b);
    connect(edit_b, &QPushButton::clicked, this, &TForm2::edit_bClick);
}

void TForm2::edit_bClick() {
    const std::string name = cp932Text(Cp932LineValidator::clean(edit_l->text()));
    if (name.empty()) {
        form1_.boxes.message(this, cp932("なまえいれてね"));
        return;
    }
    form1_.pet.pet_name = name;
    form1_.PlaySound("2.wav");
    accept();
}

void TForm2::reject() {}

void TForm2::closeEvent(QCloseEvent* event) { event->ignore(); }
