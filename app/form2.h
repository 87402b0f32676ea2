// The naming dialog: takes the name of a new pet.
#pragma once
#include <QDialog>
#include <string>

class MessageBoxes;
class PetLineEdit;
class QLabel;
class QPushButton;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(QWidget* parent, MessageBoxes& boxes);

signals:
    // おっけ took a name (CP932); the dialog closes once this returns.
    void named(const std::string& name);

public slots:
    void edit_bClick();
    // Leaving is only through the button: Escape and the window manager's close do nothing.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    MessageBoxes& boxes_;
    QLabel* Label1;
    PetLineEdit* edit_l;
    QPushButton* edit_b;
};
