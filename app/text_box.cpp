#include "app/text_box.h"

#include "platform/cp932.h"

QString Cp932LineValidator::clean(const QString& input) {
    QString out;
    out.reserve(input.size());
    for (qsizetype i = 0; i < input.size(); ++i) {
        const QChar c = input[i];
        if (c == QChar(0x0D) || c == QChar(0x0A) || c == QChar(0x1A)) continue;
        if (c.isHighSurrogate() || c.isLowSurrogate()) continue;  // nothing outside the BMP is in CP932
        if (!toCp932(QString(c).toStdString())) continue;
        out += c;
    }
    return out;
}

QValidator::State Cp932LineValidator::validate(QString& input, int& pos) const {
    const QString cleaned = clean(input);
    if (cleaned != input) {
        pos -= int(input.left(pos).size() - clean(input.left(pos)).size());
        input = cleaned;
    }
    return Acceptable;
}

void Cp932LineValidator::fixup(QString& input) const { input = clean(input); }

PetLineEdit::PetLineEdit(int maxChars, QWidget* parent) : QLineEdit(parent) {
    setMaxLength(maxChars);
    setValidator(new Cp932LineValidator(this));
    setAttribute(Qt::WA_InputMethodEnabled, true);
}
