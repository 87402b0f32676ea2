// A temporary program directory and boxes answered by a script.
#pragma once
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/message_boxes.h"

class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }  // ends in '/'
    void write(const std::string& name, const std::string& bytes) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;
    void copyCg() const;

private:
    std::string path_;
};

struct ScriptedBoxes : MessageBoxes {
    struct Shown {
        std::string kind;  // message, error, confirm, fatal, dialog
        std::string text;
    };
    std::vector<Shown> shown;
    std::function<void()> whileOpen;  // runs as if the user took their time before answering
    // One script per box, in the order the boxes open (a box opened by a
    // script is the next one); taken before `whileOpen`, which runs when none is left.
    std::deque<std::function<void()>> perBox;
    bool answer = true;

    void message(QWidget*, const std::string& text) override { open("message", text); }
    void error(QWidget*, const std::string& text) override { open("error", text); }
    bool confirm(QWidget*, const std::string& text) override {
        open("confirm", text);
        return answer;
    }
    void fatal(const std::string& text) override { open("fatal", text); }
    void showModal(QDialog&) override { open("dialog", ""); }

private:
    void open(const char* kind, const std::string& text) {
        shown.push_back({kind, text});
        if (!perBox.empty()) {
            const std::function<void()> script = std::move(perBox.front());
            perBox.pop_front();
            if (script) script();
        } else if (whileOpen) {
            whileOpen();
        }
    }
};

// What a window under test takes: the test's boxes, the test's generator and
// the folder that holds my.dat and cg/. Tests add their own hooks to it.
inline FormServices testServices(MessageBoxes& boxes, Random& random, const std::string& dir) {
    FormServices s;
    s.boxes = &boxes;
    s.random = &random;
    s.petDir = dir;
    s.cgDir = dir + "cg/";
    return s;
}
