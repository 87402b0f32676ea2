// A temporary program directory and boxes answered by a script.
#pragma once
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/form1.h"
#include "app/form2.h"
#include "app/message_boxes.h"
#include "app/pet_state.h"
#include "platform/file.h"

class QTimer;
class VirtualWaveOut;

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

// A control of a window, found by the name the window gives it. qobject_cast refuses to compile for a class without
// Q_OBJECT (which findChild silently takes for its base on some Qt versions and refuses on others).
template <class W>
W* control(const QObject& window, const char* name) {
    W* w = qobject_cast<W*>(window.findChild<QObject*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly));
    if (!w) throw std::logic_error(std::string("no control named ") + name);
    return w;
}

// The main window's Timer1 .. Timer7, in that order.
std::vector<QTimer*> timers(const QObject& window);

// The disk failing on command: `answer` says which errno a step of a
// replace fails with (0: it runs). Install it with FileFaults::Use.
struct ScriptedFileFaults : FileFaults {
    std::function<int(FileStep, const std::string& path)> answer;
    int fail(FileStep step, const std::string& path) override { return answer ? answer(step, path) : 0; }
};

// What a listener at the virtual device hears from a window: the blocks
// played, read back as the names of cg's sounds ("1.wav" .. "7.wav").
class Ear {
public:
    // Learns each sound as the window's mixer converts it. Needs the window on the process's virtual device.
    Ear(const TForm1& window, const std::string& cgDir);
    // Plays out every queued block and names the sounds in them, in order,
    // since the last call; "?" for anything else that is not silence.
    std::vector<std::string> heard();

private:
    VirtualWaveOut& device_;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> sounds_;
};

// The BMP `g` made to claim 5600 x 5600 pixels in a few run-length bytes.
inline std::string hugeRleBmp(const std::string& g) {
    return g.substr(0, 18) + std::string("\xe0\x15\0\0\xe0\x15\0\0", 8) + g.substr(26, 4) +
           std::string("\1\0\0\0\x10\0\0\0", 8) + g.substr(38);
}

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

// A window on a folder of its own, with its naming dialog and an ear on its device.
struct WindowTest : ::testing::Test {
    explicit WindowTest(uint32_t seed) : random(seed) {}
    TempDir dir;
    ScriptedBoxes boxes;
    Random random;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> naming;  // after `form`: the dialog is its child and goes first
    std::unique_ptr<Ear> ear;

    // One window at a time: each holds the process's one mixer session. `pet` is written to my.dat first.
    void open(uint32_t clockSeed, const std::optional<PetState>& pet = std::nullopt);
    PetState saved() const;  // what my.dat holds
};
