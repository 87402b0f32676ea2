// The main window: the pet's room, gauges, talk box and buttons.
#pragma once
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/form_services.h"
#include "app/message_boxes.h"
#include "app/pet_state.h"
#include "app/pictures.h"
#include "app/random.h"
#include "app/save_file.h"
#include "mixer/sound_mix_component.h"
#include "mixer/soundmix.h"

class PetLineEdit;
class QAbstractButton;
class TForm2;

// A picture or label that reports clicks.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The pet's picture: its bitmap stretched to the control's size pixel for
// pixel (nearest neighbour), so the pixel art stays crisp at any scale.
class PetPicture : public ClickLabel {
    Q_OBJECT
public:
    using ClickLabel::ClickLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // Builds the window, then runs FormCreate (its error shown in the error
    // box), then starts the timers. Throws when the sound mixer cannot be set
    // up: the program must end then.
    explicit TForm1(FormServices services, QWidget* parent = nullptr);
    ~TForm1() override;

    // Never fails towards its caller.
    void PlaySound(const std::string& name);

    // The naming dialog the search opens; set by the program entry once the
    // dialog exists (none: the search names no pet).
    void setNamingDialog(TForm2* dialog);

    const PetState& pet() const { return pet_; }
    // The face's frame shown at the last tick.
    uint8_t faceFrame() const { return face_frame; }
    // The window's mixer (none until built) and the waves it keeps loaded:
    // for a listener that plays beside the window through the same session.
    TSoundMix* soundMix() const { return SoundMix1.get(); }
    struct Preloaded {
        hMixWave wave_7, wave_6, wave_last, wave_5;
    };
    Preloaded preloaded() const { return {wave_7, wave_6, wave_last, wave_5}; }

    bool backupPending() const { return petFile_.backupPending(); }
    // Until no checkpoint waits or is being written.
    void waitForCheckpoints() { petFile_.wait(); }
    // The close went through: said goodbye and saved.
    bool closed() const { return closed_; }
    // The strip that cg2 holds (as loaded, before any conversion).
    const QImage& cg2Strip() const { return cg2Strip_; }
    // The 100 x 100 bitmap of cg, or a null image while cg shows a whole picture.
    QImage faceBitmap() const { return cgHoldsFace_ ? face_ : QImage(); }

    // The session ends or the process is told to stop: saves as a close
    // would, but without the farewell box nobody could answer, and only once.
    // Returns the exit code (0 saved, 1 the save failed); `error` gets the
    // failure's message (CP932) and `fileKept` whether my.dat is as it was.
    // From then on no close says goodbye or saves again.
    int endSession(std::string* error = nullptr, bool* fileKept = nullptr);
    bool sessionEnded() const { return sessionEnded_; }

public slots:
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void Timer4Timer();
    void Timer5Timer();
    void Timer6Timer();
    void Timer7Timer();
    void sagasu_bClick();
    void gohan_bClick();
    void cgClick();
    void korosu_bClick();
    void clear_bClick();
    void clear_b2Click();
    void moji_lClick();
    void edit_bClick();
    void edit_lKeyDown(int key);
    void Listen();
    // The naming dialog took `name` (CP932).
    void petNamed(const std::string& name);
    // Writes in the background what a close would save now, unless my.dat
    // holds it already. Silent; never while the window says goodbye or after.
    void checkpoint();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadPet();
    void SavePet();
    // What a close saves: the pet, and with no pet kept the empty room (a
    // first start's nameless zeros included), which the next start shows as such.
    std::string closeBytes() const;
    // The user changed the pet: a checkpoint follows within a second.
    void petChanged();
    void buildLayout();
    void createSoundMix();
    void FormCreate();
    void FormDestroy();
    // Runs a handler body; an escaping error is shown in the error box.
    void guarded(const std::function<void()>& body);
    void reportError(const std::exception& e);

    bool petLives() const { return !sagasu_b->isEnabled(); }
    // Every text the form writes into a label or badge goes through here: it
    // touches the widget only when the text changes, which keeps the 50 ms
    // status tick nearly free while nothing happens.
    void setShown(QLabel* label, const std::string& cp932);
    void setShown(QAbstractButton* button, const std::string& cp932);
    template <class W>
    void setShownText(W* widget, const std::string& cp932);
    void showWidget(QWidget* w);
    void playAll(const std::vector<std::string>& sounds);
    void die(const std::string& message);
    // Loads a picture of cg/, or throws the framework's file-open error.
    QImage loadPicture(const std::string& name, BitmapFileCache* cache = nullptr) const;
    void showWholePicture(const QImage& picture);
    void showDeadFace();
    void copyFace(const QImage& strip, int frame);

    // The sound seam. SoundMix1 fills these; until it exists they fail like a
    // mixer without a device, and every caller swallows that.
    hMixWave openWave(const std::string& path);
    void freeWave(hMixWave wave);
    void playWave(int32_t channel, hMixWave wave);

    PetState pet_;
    Random& random;
    MessageBoxes& boxes;
    TForm2* Form2 = nullptr;

    std::unique_ptr<TSoundMix> SoundMix1;  // created while the window is built

    hMixWave wave_7 = 0;
    hMixWave wave_6 = 0;
    hMixWave wave_last = 0;
    hMixWave wave_5 = 0;

    uint8_t face_frame = 0;

    // The controls, each also known by its name as a Qt object name.
    PetPicture* cg;
    ClickLabel* moji_l;
    QLabel* state_l;
    QLabel* cg2;
    QLabel* Label1;
    QLabel* state_l2;
    QLabel* state_n;
    PetLineEdit* edit_l;
    QPushButton* edit_b;
    QPushButton* sagasu_b;
    QPushButton* korosu_b;
    QPushButton* gohan_b;
    QPushButton* clear_b;
    QPushButton* clear_b2;
    std::array<QTimer*, 7> timers{};  // Timer1 .. Timer7
    QTimer* checkpointSoon_;          // once, a second after the user changed the pet
    QTimer* checkpointTimer_;         // every minute, for what the clocks changed

    FormServices services_;
    PetFile petFile_;
    bool closing_ = false;        // a close is between its farewell box and its save
    bool sessionEnded_ = false;   // saved by endSession: nothing more to say or save
    int sessionExitCode_ = 0;
    std::string sessionError_;
    bool sessionFileKept_ = true;
    bool closed_ = false;         // a close said goodbye and saved: the program is ending
    bool faceReportOpen_ = false; // a face strip's load error is on screen
    QImage cg2Strip_;             // what cg2 holds
    BitmapFileCache faceStrips_;  // the strip the face ticks read, decoded again only when its file changes
    QImage face_;                 // cg's 100 x 100 bitmap (RGB32: a painter can draw on it)
    bool cgHoldsFace_ = false;    // false while cg shows a whole picture (the stored room, the door)
    struct Shown {
        bool set = false;
        std::string bytes;  // CP932, as the rules gave it
        QString qt;         // as handed to the widget
    };
    std::map<const QObject*, Shown> shownText_;
};
