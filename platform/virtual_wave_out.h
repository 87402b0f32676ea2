// A scripted wave output device for tests: no sound, no threads, no waiting.
//
//   VirtualWaveOut wave;                    // one device "Virtual Wave Out", mono and stereo
//   wave.setDevices({{"Card A", 2, 0}, {"Slow Card", 1, WAVECAPS_SYNC}});
//   VirtualWaveOut::Use use(wave);          // the process now plays through it
//   ... open the mixer, play ...
//   wave.complete(1);                       // the oldest queued block has played:
//                                           // done flag set, MM_WOM_DONE posted
//   DispatchPostedMessages();               // deliver it, as the UI thread would
//   wave.written();                         // every block written, in order (copies)
//
// Only one device is open at a time; open() while one is open fails with
// MMSYSERR_ALLOCATED. Refusals are set ahead: refuseOpen(code) makes the next
// opens fail, refusePrepare(n, code) fails the n-th prepare (0-based) of each
// open, refuseWrite(n, code) fails the n-th write from now on.
// The byte counter advances only by play()/complete(), never while paused.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/wave_out.h"

class VirtualWaveOut : public WaveOutDriver {
public:
    struct Device {
        std::string productName;
        uint16_t channels = 2;
        uint32_t support = 0;  // WAVECAPS_SYNC marks a blocking device
    };
    enum class Call { Open, Prepare, Unprepare, Write, Reset, Pause, Restart, Close };

    VirtualWaveOut();
    ~VirtualWaveOut() override;

    // Installs the device for the process while in scope.
    class Use {
    public:
        explicit Use(VirtualWaveOut& wave) : previous_(&CurrentWaveOutDriver()) { SetWaveOutDriver(&wave); }
        ~Use() { SetWaveOutDriver(previous_); }
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;

    private:
        WaveOutDriver* previous_;  // a test's own device gives the process's back
    };

    // ---- set-up
    void setDevices(std::vector<Device> devices);
    void failCaps(bool fail) { failCaps_ = fail; }
    void refuseOpen(MMRESULT code) { openError_ = code; }
    void refusePrepare(int index, MMRESULT code) { prepareFailIndex_ = index; prepareError_ = code; }
    void refuseWrite(int index, MMRESULT code) { writeFailIndex_ = index; writeError_ = code; writesSinceRefusal_ = 0; }
    void refuseFormat(bool refuse) { refuseFormat_ = refuse; }
    // Off: neither written blocks nor calls are logged (for allocation-free runs).
    void keepWritten(bool keep) { keepWritten_ = keep; }

    // ---- what happened
    bool isOpen() const { return open_; }
    bool isPaused() const { return paused_; }
    int32_t openedId() const { return openedId_; }
    WaveOutFormat openedFormat() const { return openedFormat_; }
    hMixWindow callbackWindow() const { return callback_; }
    const std::vector<std::vector<uint8_t>>& written() const { return written_; }
    const std::vector<WaveHeader*>& writtenHeaders() const { return writtenHeaders_; }
    // Every byte written since the log was last cleared, in order.
    std::vector<uint8_t> writtenStream() const;
    const std::vector<Call>& calls() const { return calls_; }
    void clearLog();
    size_t queued() const { return queue_.size(); }
    const WaveHeader* queuedHeader(size_t i) const { return queue_[i]; }
    int prepared() const { return prepared_; }
    uint64_t position() const { return position_; }

    // ---- playing, on command
    // Plays n bytes from the queue: the byte counter advances and every block
    // played to its end is marked done and announced. Returns bytes played.
    uint64_t play(uint64_t bytes);
    // Plays the oldest n queued blocks to their end.
    void complete(size_t blocks);
    void completeAll() { complete(queue_.size()); }

    // WaveOutDriver
    int deviceCount() override;
    MMRESULT getCaps(int32_t deviceId, WaveOutCaps& caps) override;
    MMRESULT queryFormat(int32_t deviceId, const WaveOutFormat& format) override;
    MMRESULT open(std::unique_ptr<WaveOutDevice>& device, int32_t deviceId, const WaveOutFormat& format,
                  hMixWindow callback) override;

private:
    class OpenDevice;
    friend class OpenDevice;
    void finishHead();
    void log(Call call);

    std::vector<Device> devices_;
    bool failCaps_ = false;
    bool refuseFormat_ = false;
    MMRESULT openError_ = 0;
    int prepareFailIndex_ = -1;
    MMRESULT prepareError_ = 0;
    int writeFailIndex_ = -1;
    MMRESULT writeError_ = 0;
    int writesSinceRefusal_ = 0;
    bool keepWritten_ = true;

    bool open_ = false;
    bool paused_ = false;
    int32_t openedId_ = 0;
    WaveOutFormat openedFormat_;
    hMixWindow callback_ = 0;
    int prepareCount_ = 0;
    int prepared_ = 0;
    uint64_t position_ = 0;
    std::vector<WaveHeader*> queue_;
    std::vector<std::vector<uint8_t>> written_;
    std::vector<WaveHeader*> writtenHeaders_;
    std::vector<Call> calls_;
};
