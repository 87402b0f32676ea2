// The main window: the pet's room, gauges, talk box and buttons.
#pragma once
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/message_boxes.h"
#include "app/pet_state.h"
#include "app/random.h"
#include "app/save_file.h"
#include "mixer/sound_mix_component.h"
#include "mixer/soundmix.h"

class HeardWaves;

class PetLineEdit;
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
    // Stretched pictures are pixel art: nearest neighbour at any device pixel ratio.
    void paintEvent(QPaintEvent* event) override;
};

// What the window takes from outside; tests replace any of it.
struct FormServices {
    MessageBoxes* boxes = nullptr;               // required
    Random* random = nullptr;                    // required
    std::string exeDir;                          // ends in '/'; holds my.dat and cg/
    std::function<uint32_t()> clockSeed;         // empty: time of day in milliseconds
    std::function<void()> soundMixSetUp;         // runs where SoundMix1 is created; may throw
    SaveFaultHook saveFault;                     // tests make save steps fail
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
    void LoadPet();
    void SavePet();

    PetState pet;
    Random& random;
    MessageBoxes& boxes;
    TForm2* Form2 = nullptr;  // set by the program entry once the dialog exists

    std::unique_ptr<TSoundMix> SoundMix1;  // created while the window is built

    hMixWave wave_7 = 0;
    hMixWave wave_6 = 0;
    hMixWave wave_last = 0;
    hMixWave wave_5 = 0;

    ClickLabel* cg;
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

    const std::string& exeDir() const { return services_.exeDir; }
    bool backupPending() const { return backupPending_; }

    // The session ends or the process is told to stop: saves as a close
    // would, but without the farewell box nobody could answer, and only once.
    // Returns the exit code (0 saved, 1 the save failed and my.dat is as it
    // was); `error` gets the failure's message (CP932). From then on no close
    // says goodbye or saves again.
    int endSession(std::string* error = nullptr);
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

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void createSoundMix();
    void FormCreate();
    void FormDestroy();
    // Runs a handler body; an escaping error is shown in the error box.
    void guarded(const std::function<void()>& body);

    // The sound seam. SoundMix1 fills these; until it exists they fail like a
    // mixer without a device, and every caller swallows that.
    hMixWave openWave(const std::string& path);
    void freeWave(hMixWave wave);
    // notify: the window told when the play has been heard; 0 for none.
    void playWave(int32_t channel, hMixWave wave, hMixWindow notify = 0);

    FormServices services_;
    std::unique_ptr<HeardWaves> heardWaves_;  // PlaySound's waves, freed once heard
    bool backupPending_ = false;  // my.dat failed to load part-way: keep it aside before overwriting
    bool closing_ = false;        // a close is between its farewell box and its save
    bool sessionEnded_ = false;   // saved by endSession: nothing more to say or save
    int sessionExitCode_ = 0;
};
