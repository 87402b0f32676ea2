// The naming dialog: takes the name of a new pet.
#pragma once
#include <QDialog>
#include <QLabel>
#include <QPushButton>

class PetLineEdit;
class TForm1;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(TForm1& form1);

    QLabel* Label1;
    PetLineEdit* edit_l;
    QPushButton* edit_b;

public slots:
    void edit_bClick();
    // Leaving is only through the button: Escape and the window manager's close do nothing.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TForm1& form1_;
};
