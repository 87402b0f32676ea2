#include "app/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include "app/badges.h"
#include "app/care.h"
#include "app/face.h"
#include "app/fonts.h"
#include "app/form2.h"
#include "app/life_clock.h"
#include "app/listen.h"
#include "app/pictures.h"
#include "app/qt_text.h"
#include "app/speech.h"
#include "app/text_box.h"
#include "platform/cp932.h"

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

void PetPicture::paintEvent(QPaintEvent*) {
    const QPixmap picture = pixmap();
    if (picture.isNull()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawPixmap(rect(), picture);
}

namespace {

void colourLabel(QLabel* label, QColor text, std::optional<QColor> background) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, text);
    if (background) {
        p.setColor(QPalette::Window, *background);
        label->setAutoFillBackground(true);
    }
    label->setPalette(p);
}

// Every control is also known by its name, as tests and tools look for it.
template <class W>
W* place(W* w, const char* name, int x, int y, int width, int height) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(x, y, width, height);
    return w;
}

QLabel* textLabel(QLabel* l, const char* utf8, const QFont& font) {
    l->setTextFormat(Qt::PlainText);
    l->setText(QString::fromUtf8(utf8));
    l->setFont(font);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const char* utf8, int x, int y, int w, int h) {
    auto* b = place(new QPushButton(QString::fromUtf8(utf8), parent), name, x, y, w, h);
    b->setFont(gothicFont(true, 13, true));
    return b;
}

}  // namespace

TForm1::TForm1(FormServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      random(*services.random),
      boxes(*services.boxes),
      services_(std::move(services)),
      petFile_(services_.petDir + "my.dat") {
    buildLayout();
    createSoundMix();
    guarded([this] { FormCreate(); });
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::buildLayout() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8("ピコ日記 Ｖｅｒ１．０     ｂｙﾄﾗﾝﾎﾟ･ﾊｳｽ"));
    setFixedSize(412, 262);
    move(265, 117);
    QPalette p = palette();
    p.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(p);
    setAutoFillBackground(true);
    setFont(gothicFont(true, 12, false));

    const QColor teal(0, 128, 128);
    // Creation order is stacking order: later painted controls lie above earlier ones.
    cg = place(new PetPicture(this), "cg", 208, 4, 200, 200);
    cg->setCursor(Qt::PointingHandCursor);
    cg->setPixmap(QPixmap::fromImage(toQImage(art::room())));
    connect(cg, &ClickLabel::clicked, this, &TForm1::cgClick);

    moji_l = place(new ClickLabel(this), "moji_l", 4, 104, 201, 101);
    textLabel(moji_l, "moji_l", gothicFont(true, 21, true));
    colourLabel(moji_l, QColor(255, 0, 255), QColor(0, 0, 0));
    connect(moji_l, &ClickLabel::clicked, this, &TForm1::moji_lClick);

    state_l = textLabel(place(new QLabel(this), "state_l", 4, 28, 201, 57), "state_l", gothicFont(false, 13, true));
    colourLabel(state_l, teal, QColor(255, 255, 255));

    cg2 = place(new QLabel(this), "cg2", 412, 4, 101, 61);
    cg2Strip_ = toQImage(art::startStrip());
    cg2->setPixmap(QPixmap::fromImage(cg2Strip_));
    cg2->hide();

    Label1 = textLabel(place(new QLabel(this), "Label1", 4, 84, 201, 17), "Ａｒｋ：", gothicFont(false, 13, true));
    colourLabel(Label1, teal, QColor(255, 255, 255));

    state_l2 = textLabel(place(new QLabel(this), "state_l2", 56, 80, 89, 25), "", gothicFont(false, 21, true, true));
    colourLabel(state_l2, QColor(0, 0, 255), std::nullopt);

    state_n = textLabel(place(new QLabel(this), "state_n", 4, 4, 201, 25), "なまえ", gothicFont(false, 24, true));
    colourLabel(state_n, teal, QColor(255, 255, 255));

    edit_l = place(new PetLineEdit(30, this), "edit_l", 76, 208, 333, 24);
    edit_l->setFont(gothicFont(true, 16, true));
    edit_l->installEventFilter(this);
    edit_b = button(this, "edit_b", "話し掛ける", 4, 208, 73, 25);
    sagasu_b = button(this, "sagasu_b", "さがす", 4, 236, 73, 25);
    korosu_b = button(this, "korosu_b", "ころして、最初からする", 244, 236, 165, 25);
    gohan_b = button(this, "gohan_b", "ごはん", 80, 236, 161, 25);
    // Hidden until earned; their design-time caption is the first level.
    clear_b = button(this, "clear_b", arkBadgeCaptions()[0].c_str(), 144, 80, 61, 21);
    clear_b2 = button(this, "clear_b2", arkBadgeCaptions()[0].c_str(), 144, 60, 61, 21);
    edit_b->setEnabled(false);
    korosu_b->setEnabled(false);
    gohan_b->setEnabled(false);
    clear_b->hide();
    clear_b2->hide();
    // Buttons and the text box lie above every painted control.
    for (QWidget* w : std::initializer_list<QWidget*>{edit_l, edit_b, sagasu_b, korosu_b, gohan_b, clear_b, clear_b2})
        w->raise();
    setTabOrder(edit_l, edit_b);
    setTabOrder(edit_b, sagasu_b);
    setTabOrder(sagasu_b, korosu_b);
    setTabOrder(korosu_b, gohan_b);
    setTabOrder(gohan_b, clear_b);
    setTabOrder(clear_b, clear_b2);

    connect(edit_b, &QPushButton::clicked, this, &TForm1::edit_bClick);
    connect(sagasu_b, &QPushButton::clicked, this, &TForm1::sagasu_bClick);
    connect(korosu_b, &QPushButton::clicked, this, &TForm1::korosu_bClick);
    connect(gohan_b, &QPushButton::clicked, this, &TForm1::gohan_bClick);
    connect(clear_b, &QPushButton::clicked, this, &TForm1::clear_bClick);
    connect(clear_b2, &QPushButton::clicked, this, &TForm1::clear_b2Click);

    static constexpr int kIntervals[7] = {50, 10000, 110000, 6000, 1000, 15000, 3000};
    void (TForm1::*const handlers[7])() = {&TForm1::Timer1Timer, &TForm1::Timer2Timer, &TForm1::Timer3Timer,
                                           &TForm1::Timer4Timer, &TForm1::Timer5Timer, &TForm1::Timer6Timer,
                                           &TForm1::Timer7Timer};
    for (size_t i = 0; i < timers.size(); ++i) {
        timers[i] = new QTimer(this);
        timers[i]->setObjectName(QStringLiteral("Timer%1").arg(i + 1));
        timers[i]->setTimerType(Qt::PreciseTimer);
        timers[i]->setInterval(kIntervals[i]);
        connect(timers[i], &QTimer::timeout, this, handlers[i]);
        // Running from here on: the pet's life goes on behind FormCreate's
        // boxes too, as behind any other box.
        timers[i]->start();
    }
    // Not among Timer1..7: these keep my.dat near the pet, so that a crash
    // loses at most a minute of its life and never what the user just did.
    checkpointSoon_ = new QTimer(this);
    checkpointSoon_->setObjectName(QStringLiteral("CheckpointSoon"));
    checkpointSoon_->setSingleShot(true);
    checkpointSoon_->setInterval(1000);
    connect(checkpointSoon_, &QTimer::timeout, this, &TForm1::checkpoint);
    checkpointTimer_ = new QTimer(this);
    checkpointTimer_->setObjectName(QStringLiteral("CheckpointTimer"));
    checkpointTimer_->setInterval(60000);
    connect(checkpointTimer_, &QTimer::timeout, this, &TForm1::checkpoint);
    checkpointTimer_->start();
}

void TForm1::createSoundMix() {
    // Not guarded: a mixer that cannot start ends the program.
    SoundMix1 = std::make_unique<TSoundMix>();
    SoundMix1->setActivated(true);
    SoundMix1->setChannels(15);
}

hMixWave TForm1::openWave(const std::string& path) {
    if (!SoundMix1) throw ESoundMixError("No sound mixer");
    return SoundMix1->OpenWave(path.c_str());
}

void TForm1::freeWave(hMixWave wave) {
    if (!SoundMix1) throw ESoundMixError("No sound mixer");
    SoundMix1->FreeWave(wave);
}

void TForm1::playWave(int32_t channel, hMixWave wave) {
    if (!SoundMix1) throw ESoundMixError("No sound mixer");
    SoundMix1->Play(channel, wave, 0, 0, 0);
}

void TForm1::guarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        reportError(e);
    } catch (...) {
        // Not one of ours nor the library's: still no escape into Qt.
        reportError(std::runtime_error("Unknown error"));
    }
}

void TForm1::reportError(const std::exception& e) {
    // The box itself must not let anything escape into Qt either.
    try {
        boxes.error(this, errorBoxText(e.what()));
    } catch (...) {
    }
}

void TForm1::FormCreate() {
    try {
        wave_7 = openWave(services_.cgDir + "7.wav");
        wave_6 = openWave(services_.cgDir + "6.wav");
        wave_last = openWave(services_.cgDir + "1.wav");
        wave_5 = openWave(services_.cgDir + "5.wav");
    } catch (const std::exception&) {
        // A wave that cannot load (missing, damaged, no device) leaves its
        // handle and the ones after it empty: those sounds are never heard.
    }
    random.seed(services_.clockSeed ? services_.clockSeed() : Random::timeOfDaySeed());
    LoadPet();
    setShown(state_l, "");
    setShown(state_n, "");
    setShown(moji_l, "");
    if (pet_.condition == sinu) {
        showWholePicture(loadPicture("door.bmp"));
    } else {
        edit_b->setEnabled(true);
        korosu_b->setEnabled(true);
        gohan_b->setEnabled(true);
        sagasu_b->setEnabled(false);
    }
}

void TForm1::FormDestroy() {
    // A preload that failed left its handle empty; freeing that would fail
    // and abandon the frees of the waves that did load.
    try {
        for (hMixWave w : {wave_5, wave_last, wave_6, wave_7})
            if (w) freeWave(w);
    } catch (...) {
        // Whatever the mixer says now, the window goes: nothing may leave a destructor.
    }
    // PlaySound's waves still to be heard go with SoundMix1.
}

void TForm1::LoadPet() { petFile_.load(pet_); }

void TForm1::SavePet() { petFile_.save(closeBytes()); }

std::string TForm1::closeBytes() const {
    if (petLives()) return serializePet(pet_);
    PetState none = pet_;
    none.condition = sinu;
    return serializePet(none);
}

void TForm1::petChanged() {
    if (!checkpointSoon_->isActive()) checkpointSoon_->start();
}

void TForm1::checkpoint() {
    if (closing_ || closed_ || sessionEnded_) return;
    try {
        petFile_.checkpoint(closeBytes());
    } catch (...) {
        // No memory for the bytes: the next checkpoint tries again.
    }
}

void TForm1::PlaySound(const std::string& name) {
    try {
        const hMixWave wave = openWave(services_.cgDir + name);
        const hMixWave previous = wave_last;
        wave_last = wave;
        // wave_last stays loaded after it is heard, until the next sound
        // takes its place; every other is freed once heard.
        SoundMix1->Hold(wave);
        SoundMix1->Release(previous);
        SoundMix1->PlayOnce(1, wave);
    } catch (...) {
        // Whatever fails (no mixer, a missing or damaged file, a full pool),
        // the pet only stays silent.
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    // One close at a time: a close asked for while the farewell box is open
    // (the user again, or a death) must not say goodbye or save twice.
    if (sessionEnded_) {
        event->accept();
        return;
    }
    if (closing_) {
        event->ignore();
        return;
    }
    closing_ = true;
    bool saved = false;
    guarded([&] {
        boxes.message(this, cp932("またやってね！"));
        // The session ended while the box was open; that save stands.
        if (!sessionEnded_) SavePet();
        saved = true;
    });
    closing_ = false;
    if (saved) {
        // Goodbye said and the pet saved: nothing may change it any more
        // while the event loops wind down.
        closed_ = true;
        for (QTimer* t : timers) t->stop();
        checkpointSoon_->stop();
        checkpointTimer_->stop();
        event->accept();
    } else {
        event->ignore();
    }
}

int TForm1::endSession(std::string* error, bool* fileKept) {
    if (!sessionEnded_) {
        sessionEnded_ = true;
        try {
            SavePet();
        } catch (const EInOutError& e) {
            std::tie(sessionExitCode_, sessionError_, sessionFileKept_) = std::tuple(1, e.message(), e.fileKept());
        } catch (const std::exception& e) {
            std::tie(sessionExitCode_, sessionError_) = std::tuple(1, std::string(e.what()));
        }
    }
    if (error) *error = sessionError_;
    if (fileKept) *fileKept = sessionFileKept_;
    return sessionExitCode_;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_l && event->type() == QEvent::KeyPress) edit_lKeyDown(static_cast<QKeyEvent*>(event)->key());
    return QWidget::eventFilter(watched, event);
}


template <class W>
void TForm1::setShownText(W* widget, const std::string& text) {
    // Comparing the bytes and the widget's own string costs far less than
    // converting the text again; the second test notices a text that someone
    // else put there.
    Shown& shown = shownText_[widget];
    if (shown.set && shown.bytes == text && widget->text() == shown.qt) return;
    shown = {true, text, qtText(text)};
    widget->setText(shown.qt);
}

void TForm1::setShown(QLabel* label, const std::string& text) { setShownText(label, text); }
void TForm1::setShown(QAbstractButton* button, const std::string& text) { setShownText(button, text); }

void TForm1::showWidget(QWidget* w) {
    if (w->isHidden()) w->show();
}

void TForm1::playAll(const std::vector<std::string>& sounds) {
    for (const std::string& name : sounds) PlaySound(name);
}

QImage TForm1::loadPicture(const std::string& name, BitmapFileCache* cache) const {
    const std::string path = services_.cgDir + name;
    const QImage picture = cache ? cache->load(path) : loadBitmapFile(path);
    if (picture.isNull()) throw std::runtime_error(cp932("ﾌｧｲﾙ ") + toCp932Lossy(path) + cp932(" は開けません"));
    return picture;
}

void TForm1::showWholePicture(const QImage& picture) {
    cg->setPixmap(QPixmap::fromImage(picture));
    cgHoldsFace_ = false;
}

void TForm1::showDeadFace() {
    // The dead face is the whole strip, stretched over the picture like the door.
    showWholePicture(loadPicture("sinu.bmp"));
}

void TForm1::copyFace(const QImage& strip, int frame) {
    if (!cgHoldsFace_) {
        // cg shows a whole picture (the stored room, the door): the face starts
        // on that picture shrunk to 100 x 100, so whatever a strip does not
        // cover still shows what was there.
        const QImage shown = cg->pixmap().toImage();
        face_ = shown.isNull() ? QImage(100, 100, QImage::Format_RGB32)
                               : shown.scaled(100, 100, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                                     .convertToFormat(QImage::Format_RGB32);
        if (shown.isNull()) face_.fill(Qt::black);
        cgHoldsFace_ = true;
    }
    // A BMP of 8 bits loads as an indexed image; RGB32 copies pixel for pixel.
    const QImage source = strip.convertToFormat(QImage::Format_RGB32);
    const QRect square = QRect(100 * frame, 0, 100, 100).intersected(source.rect());
    if (!square.isEmpty()) {
        QPainter p(&face_);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(QPoint(0, 0), source, square);
    }
    cg->setPixmap(QPixmap::fromImage(face_));
}

void TForm1::die(const std::string& message) {
    sagasu_b->setEnabled(true);
    // Ticks that come while the box below is open see no pet (sagasu_b is
    // enabled): they cannot start a second death.
    showDeadFace();
    setShown(moji_l, "");
    boxes.message(this, message);
    finishDeath(pet_);
    // Inside the farewell box of a close already under way this close is
    // refused, and that close saves the dead pet once the box is dismissed.
    close();
}

void TForm1::Timer1Timer() {
    guarded([this] {
        const StatusTick t = statusTick(pet_, petLives());
        if (t.showArkBadge) showWidget(clear_b2);
        if (t.showIntellectBadge) showWidget(clear_b);
        setShown(clear_b, t.intellectCaption);
        setShown(clear_b2, t.arkCaption);
        if (!t.refresh) return;
        setShown(state_n, t.name);
        setShown(state_l, t.status);
        setShown(state_l2, t.points);
        if (t.death) die(*t.death);
    });
}

void TForm1::Timer2Timer() {
    guarded([this] { playAll(needsTick(pet_, random, petLives())); });
}

void TForm1::Timer3Timer() {
    guarded([this] { playAll(agingTick(pet_)); });
}

void TForm1::Timer4Timer() {
    guarded([this] {
        if (const auto said = composeUtterance(pet_, random, petLives())) setShown(moji_l, *said);
    });
}

void TForm1::Timer5Timer() {
    guarded([this] {
        const FaceTick t = faceTick(face_frame, pet_.condition, petLives());
        if (!t.draw) return;
        if (t.strip) {
            QImage strip;
            try {
                strip = loadPicture(*t.strip, &faceStrips_);
            } catch (const std::exception& e) {
                // One report at a time: while it is open, the ticks behind it
                // still try the file again but do not open another box.
                if (faceReportOpen_) return;
                faceReportOpen_ = true;
                reportError(e);
                faceReportOpen_ = false;
                return;
            }
            if (strip.cacheKey() != cg2Strip_.cacheKey()) {
                cg2Strip_ = strip;
                cg2->setPixmap(QPixmap::fromImage(strip));
            }
        }
        copyFace(cg2Strip_, t.frame);
    });
}

void TForm1::Timer6Timer() {
    guarded([this] { sleepTick(pet_, random); });
}

void TForm1::Timer7Timer() {
    guarded([this] {
        const int which = conditionSound(pet_, random);
        if (which == 0) return;
        const hMixWave wave = which == 5 ? wave_5 : which == 6 ? wave_6 : wave_7;
        try {
            playWave(1, wave);
        } catch (const std::exception&) {
            // A mixer that cannot play (no device, a wave that never loaded): the sound is not heard.
        }
    });
}

void TForm1::sagasu_bClick() {
    guarded([this] {
        if (Form2) {
            const QRect frame = frameGeometry();
            Form2->move(frame.left(), frame.top() + 24);
            boxes.showModal(*Form2);
        }
        // The program may have ended behind the dialog; a pet found now would be lost.
        if (closed_) return;
        petChanged();
        playAll(findPet(pet_, random));
        edit_b->setEnabled(true);
        korosu_b->setEnabled(true);
        gohan_b->setEnabled(true);
        sagasu_b->setEnabled(false);
        clear_b->hide();
        clear_b2->hide();
    });
}

void TForm1::gohan_bClick() {
    petChanged();
    guarded([this] { playAll(feed(pet_, random).sounds); });
}

void TForm1::cgClick() {
    petChanged();
    guarded([this] { playAll(petPet(pet_, random)); });
}

void TForm1::korosu_bClick() {
    guarded([this] {
        // After a death whose save failed the window stays open with the kill
        // still offered (a death leaves it enabled); that kill goes ahead.
        const bool lived = petLives();
        if (!boxes.confirm(this, killQuestion())) return;
        // While the box was open the pet may have died, and the window may
        // have said goodbye and saved: there is nothing left to kill then.
        if (closed_ || (lived && !petLives())) return;
        petChanged();
        const Kill k = kill(pet_, random);
        playAll(k.sounds);
        edit_b->setEnabled(false);
        korosu_b->setEnabled(false);
        gohan_b->setEnabled(false);
        sagasu_b->setEnabled(true);
        setShown(moji_l, k.lastWords);
        setShown(state_l, "");
        setShown(state_n, "");
        showDeadFace();
        resetAfterDeath(pet_);
        clear_b->hide();
        clear_b2->hide();
    });
}

void TForm1::clear_bClick() {
    guarded([this] {
        if (const auto msg = intellectBadgeMessage(cp932Text(clear_b->text()), pet_.word_count))
            boxes.message(this, *msg);
    });
}

void TForm1::clear_b2Click() {
    guarded([this] {
        if (const auto msg = arkBadgeMessage(cp932Text(clear_b2->text()))) boxes.message(this, *msg);
    });
}

void TForm1::moji_lClick() {
    guarded([this] { boxes.message(this, aboutText()); });
}

void TForm1::edit_bClick() {
    guarded([this] { Listen(); });
}

void TForm1::edit_lKeyDown(int key) {
    // Return and the keypad's Enter are one key to the pet.
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    guarded([this] { Listen(); });
}

void TForm1::setNamingDialog(TForm2* dialog) {
    if (Form2) disconnect(Form2, &TForm2::named, this, &TForm1::petNamed);
    Form2 = dialog;
    if (Form2) connect(Form2, &TForm2::named, this, &TForm1::petNamed);
}

void TForm1::petNamed(const std::string& name) {
    petChanged();
    guarded([&] {
        pet_.pet_name = name;
        PlaySound("2.wav");
    });
}

void TForm1::Listen() {
    const Heard h = listen(pet_, cp932Text(edit_l->text()), random);
    if (!h.heard) return;
    petChanged();
    playAll(h.sounds);
    setShown(moji_l, h.reply);
    edit_l->clear();
}
