// Every box the program shows goes through here, so that tests can answer
// boxes with a script instead of a person.
#pragma once
#include <string>

class QDialog;
class QWidget;

// The caption of every box: the application title (CP932).
std::string applicationTitle();

// The framework's error-box text: "." is appended when the message's last
// character sorts after ".".
std::string errorBoxText(const std::string& message);

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // All texts are CP932; a CR separates lines.
    virtual void message(QWidget* parent, const std::string& text) = 0;  // no icon, OK
    virtual void error(QWidget* parent, const std::string& text) = 0;    // error icon, OK
    virtual bool confirm(QWidget* parent, const std::string& text) = 0;  // "確認", はい/いいえ
    virtual void fatal(const std::string& text) = 0;                     // "ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ"
    virtual void showModal(QDialog& dialog) = 0;                         // returns when it closes
};

// The real boxes: modal QMessageBox and QDialog::exec.
class QtMessageBoxes : public MessageBoxes {
public:
    void message(QWidget* parent, const std::string& text) override;
    void error(QWidget* parent, const std::string& text) override;
    bool confirm(QWidget* parent, const std::string& text) override;
    void fatal(const std::string& text) override;
    void showModal(QDialog& dialog) override;
};
