#include "platform/virtual_wave_out.h"

#include <cstring>

class VirtualWaveOut::OpenDevice : public WaveOutDevice {
public:
    explicit OpenDevice(VirtualWaveOut& owner) : o_(owner) {}
    ~OpenDevice() override {
        o_.log(Call::Close);
        o_.open_ = false;
        o_.queue_.clear();
    }

    MMRESULT prepare(WaveHeader& h) override {
        o_.log(Call::Prepare);
        if (o_.prepareCount_++ == o_.prepareFailIndex_) return o_.prepareError_;
        h.flags.fetch_or(WHDR_PREPARED);
        ++o_.prepared_;
        return MMSYSERR_NOERROR;
    }
    MMRESULT unprepare(WaveHeader& h) override {
        o_.log(Call::Unprepare);
        if (h.flags.load() & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        if (h.flags.load() & WHDR_PREPARED) --o_.prepared_;
        h.flags.fetch_and(~WHDR_PREPARED);
        return MMSYSERR_NOERROR;
    }
    MMRESULT write(WaveHeader& h) override {
        o_.log(Call::Write);
        if (o_.writeFailIndex_ >= 0 && o_.writesSinceRefusal_++ == o_.writeFailIndex_) return o_.writeError_;
        if (!(h.flags.load() & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        h.flags.fetch_and(~WHDR_DONE);
        h.flags.fetch_or(WHDR_INQUEUE);
        h.consumed = 0;
        o_.queue_.push_back(&h);
        if (o_.keepWritten_) {
            o_.written_.emplace_back(h.data, h.data + h.bufferLength);
            o_.writtenHeaders_.push_back(&h);
        }
        return MMSYSERR_NOERROR;
    }
    MMRESULT reset() override {
        o_.log(Call::Reset);
        while (!o_.queue_.empty()) o_.finishHead();
        o_.position_ = 0;
        return MMSYSERR_NOERROR;
    }
    MMRESULT pause() override {
        o_.log(Call::Pause);
        o_.paused_ = true;
        return MMSYSERR_NOERROR;
    }
    MMRESULT restart() override {
        o_.log(Call::Restart);
        o_.paused_ = false;
        return MMSYSERR_NOERROR;
    }
    uint64_t positionBytes() override { return o_.position_; }

private:
    VirtualWaveOut& o_;
};

VirtualWaveOut::VirtualWaveOut() : devices_{{"Virtual Wave Out", 2, 0}} {
    // Room for a long run without allocating while sound plays.
    queue_.reserve(64);
    calls_.reserve(4096);
}

VirtualWaveOut::~VirtualWaveOut() = default;

void VirtualWaveOut::setDevices(std::vector<Device> devices) { devices_ = std::move(devices); }

void VirtualWaveOut::log(Call call) {
    if (keepWritten_) calls_.push_back(call);
}

void VirtualWaveOut::clearLog() {
    written_.clear();
    writtenHeaders_.clear();
    calls_.clear();
}

std::vector<uint8_t> VirtualWaveOut::writtenStream() const {
    std::vector<uint8_t> all;
    for (const auto& b : written_) all.insert(all.end(), b.begin(), b.end());
    return all;
}

void VirtualWaveOut::finishHead() {
    WaveHeader* h = queue_.front();
    queue_.erase(queue_.begin());
    h->flags.fetch_and(~WHDR_INQUEUE);
    h->flags.fetch_or(WHDR_DONE, std::memory_order_release);
    PostWindowMessage(callback_, MM_WOM_DONE, 0, reinterpret_cast<intptr_t>(h));
}

uint64_t VirtualWaveOut::play(uint64_t bytes) {
    if (paused_) return 0;
    uint64_t played = 0;
    while (bytes > 0 && !queue_.empty()) {
        WaveHeader* h = queue_.front();
        uint64_t step = std::min<uint64_t>(bytes, h->bufferLength - h->consumed);
        h->consumed += static_cast<uint32_t>(step);
        bytes -= step;
        played += step;
        if (h->consumed == h->bufferLength) finishHead();
    }
    position_ += played;
    return played;
}

void VirtualWaveOut::complete(size_t blocks) {
    for (size_t i = 0; i < blocks && !queue_.empty() && !paused_; ++i)
        play(queue_.front()->bufferLength - queue_.front()->consumed);
}

int VirtualWaveOut::deviceCount() { return static_cast<int>(devices_.size()); }

MMRESULT VirtualWaveOut::getCaps(int32_t deviceId, WaveOutCaps& caps) {
    if (failCaps_) return MMSYSERR_NODRIVER;
    int index = deviceId == WAVE_MAPPER ? 0 : deviceId;
    if (index < 0 || index >= deviceCount()) return MMSYSERR_BADDEVICEID;
    const Device& d = devices_[static_cast<size_t>(index)];
    caps = WaveOutCaps{};
    std::strncpy(caps.productName, d.productName.c_str(), sizeof(caps.productName) - 1);
    caps.channels = d.channels;
    caps.support = d.support;
    return MMSYSERR_NOERROR;
}

MMRESULT VirtualWaveOut::queryFormat(int32_t deviceId, const WaveOutFormat& format) {
    if (deviceId != WAVE_MAPPER && (deviceId < 0 || deviceId >= deviceCount())) return MMSYSERR_BADDEVICEID;
    if (refuseFormat_ || format.bitsPerSample != 8 || format.channels < 1 || format.channels > 2)
        return WAVERR_BADFORMAT;
    return MMSYSERR_NOERROR;
}

MMRESULT VirtualWaveOut::open(std::unique_ptr<WaveOutDevice>& device, int32_t deviceId, const WaveOutFormat& format,
                              hMixWindow callback) {
    log(Call::Open);
    if (openError_) return openError_;
    if (deviceId != WAVE_MAPPER && (deviceId < 0 || deviceId >= deviceCount())) return MMSYSERR_BADDEVICEID;
    if (open_) return MMSYSERR_ALLOCATED;
    open_ = true;
    paused_ = false;
    openedId_ = deviceId;
    openedFormat_ = format;
    callback_ = callback;
    prepareCount_ = 0;
    position_ = 0;
    queue_.clear();
    device = std::make_unique<OpenDevice>(*this);
    return MMSYSERR_NOERROR;
}

