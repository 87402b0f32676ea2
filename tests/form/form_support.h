// The real main window, headless, with a seeded generator, scripted boxes,
// an ear at the virtual device and a count of saves at the file layer.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/form2.h"
#include "app/qt_text.h"
#include "app/save_file.h"
#include "app/text_box.h"
#include "draws.h"
#include "platform/cp932.h"
#include "tests/support/support.h"

class LiveForm : public ::testing::Test {
protected:
    TempDir dir;
    ScriptedBoxes boxes;
    Random random{1};
    int saves = 0;  // replaces of my.dat begun
    ScriptedFileFaults disk;
    FileFaults::Use useDisk{disk};
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> form2;  // after `form`: the dialog is its child and goes first
    std::unique_ptr<Ear> ear;

    LiveForm() {
        disk.answer = [this](FileStep step, const std::string&) {
            if (step == FileStep::CheckTarget) ++saves;
            return 0;
        };
    }

    // The sounds the window played since the last time we listened.
    std::vector<std::string> heard() { return ear->heard(); }

    // A pet in good shape with one learned word.
    static PetState healthy() {
        PetState p;
        p.pet_name = cp932("ぴこ");
        p.age = 3;
        p.intellect = 5;
        p.morals = 10;
        p.vigor = 10;
        p.fullness = 10;
        p.condition = futu;
        p.ark_points = 100;
        p.word_count = 1;
        p.words[0] = cp932("こんにちは");
        return p;
    }

    // Starts the window on `pet` as saved in my.dat, with cg/ beside it.
    TForm1& start(const PetState& pet) {
        dir.copyCg();
        dir.write("my.dat", serializePet(pet));
        return build();
    }

    // Starts the window with no my.dat (the empty room, no pet).
    TForm1& startEmpty() {
        dir.copyCg();
        return build();
    }

    // Starts the window again on `pet`, as the next start of the program
    // would find it in my.dat.
    TForm1& restart(const PetState& pet) {
        dir.write("my.dat", serializePet(pet));
        return build();
    }

    TForm1& build() {
        FormServices s = testServices(boxes, random, dir.path());
        s.clockSeed = [] { return 1u; };
        // One mixer session at a time: the old window goes first.
        ear.reset();
        form2.reset();
        form.reset();
        form = std::make_unique<TForm1>(std::move(s));
        form2 = std::make_unique<TForm2>(form.get(), boxes);
        form->setNamingDialog(form2.get());
        ear = std::make_unique<Ear>(*form, dir.path() + "cg/");
        boxes.shown.clear();
        ear->heard();
        return *form;
    }

    PetState savedPet() const {
        PetState p;
        loadPetFile(dir.path() + "my.dat", p);
        return p;
    }

    // The naming dialog's part of a search: type the name and press おっけ.
    std::function<void()> nameIt(const char* utf8) {
        return [this, utf8] {
            control<PetLineEdit>(*form2, "edit_l")->setText(QString::fromUtf8(utf8));
            form2->edit_bClick();
        };
    }

    std::vector<std::string> kinds() const {
        std::vector<std::string> k;
        for (const auto& s : boxes.shown) k.push_back(s.kind);
        return k;
    }

    QImage stripSquare(const char* file, int frame) const {
        return QImage(QString::fromStdString(dir.path() + "cg/" + file))
            .convertToFormat(QImage::Format_RGB32)
            .copy(100 * frame, 0, 100, 100);
    }

    // cg shows a whole picture file, stretched (the door, the dead face), and holds no face bitmap.
    bool showsWholePicture(const TForm1& f, const char* file) const {
        const QImage whole = QImage(QString::fromStdString(dir.path() + "cg/" + file)).convertToFormat(QImage::Format_RGB32);
        return f.faceBitmap().isNull() && control<PetPicture>(f, "cg")->pixmap().toImage().convertToFormat(QImage::Format_RGB32) == whole;
    }

    static QString q(const std::string& cp932Bytes) { return qtText(cp932Bytes); }
    static QString u(const char* utf8) { return QString::fromUtf8(utf8); }
};
