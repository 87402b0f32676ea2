// The text boxes through which the user's text reaches the pet state.
#pragma once
#include <QLineEdit>
#include <QValidator>

// Keeps out what would damage my.dat or cannot be stored: CR, LF and 0x1A
// (they would shift or cut the file) and characters CP932 cannot hold (an
// emoji, say). They are dropped as they are typed or pasted; the rest of a
// paste is kept.
class Cp932LineValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    static QString clean(const QString& input);
};

// A single-line box limited to `maxChars` characters (characters, not bytes:
// a Japanese user counts 文字), input method on. Q_OBJECT: the windows'
// controls are looked up by type, which Qt refuses for a class without one.
class PetLineEdit : public QLineEdit {
    Q_OBJECT
public:
    PetLineEdit(int maxChars, QWidget* parent);
};
