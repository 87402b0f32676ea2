// Taking and giving back the output device: activation, opening it with
// its callback window and preparing the block ring, closing it again.
#include <string>

#include "mixer_internal.h"

namespace mixer {

void Mixer::activate(hMixSession session, bool activate) {
    Session& s = useSession(session);
    if (activate) {
        if (deviceSession_) {
            if (deviceSession_ == &s) return;
            fail("Resource is already allocated to a process");
        }
        // Claimed before opening: a failed activation keeps the claim until a deactivation.
        deviceSession_ = &s;
        if (!s.device) openDevice(s);
        s.activated = true;
        syncPosition(s, s.mixPosition);
        refill(s);
    } else {
        if (s.activated) s.mixPosition = playPosition(s, s.positionFrom());
        if (s.activated && s.device) closeDevice(s);
        s.activated = false;
        if (deviceSession_ == &s) deviceSession_ = nullptr;
    }
}

// ---- opening and closing

void Mixer::unprepareBlocks(Session& s) {
    if (!s.device) return;
    for (Block& b : blocks_) s.device->unprepare(b.header);
}

// The device is closed first (its thread has stopped when that returns); only
// then goes the window that its messages name.
void Mixer::forgetDevice(Session& s) {
    s.device.reset();
    DestroyCallbackWindow(s.window);
    s.window = 0;
}

void Mixer::openDevice(Session& s) {
    s.window = CreateCallbackWindow(kClassName);
    if (!s.window) fail("Failed to create callback window");

    WaveOutFormat format;
    format.channels = s.format.channels;
    format.samplesPerSec = s.format.samplesPerSec;
    format.bitsPerSample = s.format.bitsPerSample;
    MMRESULT r = CurrentWaveOutDriver().open(s.device, s.deviceId, format, s.window);
    if (r != MMSYSERR_NOERROR) {
        forgetDevice(s);
        fail("Failed to open waveform output device #" + std::to_string(r & 0xFFFF));
    }

    // The ring starts afresh with every device: the previous one left its headers behind.
    for (Block& b : blocks_) {
        b.header.data = b.data;
        b.header.bufferLength = static_cast<uint32_t>(s.blockLength);
        b.header.flags.store(0);
        b.header.user = 0;
        b.header.next = nullptr;
        b.header.reserved = nullptr;
        b.header.reservedLength = 0;
        b.header.consumed = 0;
        b.free = true;
        b.start = 0;
        b.link = nullptr;
    }
    for (Block& b : blocks_) {
        r = s.device->prepare(b.header);
        if (r != MMSYSERR_NOERROR) {
            unprepareBlocks(s);
            forgetDevice(s);
            fail("Unable to prepare wave header #" + std::to_string(r));
        }
        b.header.flags.fetch_or(WHDR_DONE);
    }
}

void Mixer::closeDevice(Session& s) {
    resetKeepingPosition(s);
    queue_.reclaimAll();
    unprepareBlocks(s);
    forgetDevice(s);
}

const Block* Mixer::blockAt(int index) const {
    if (index < 0 || index >= kBlockCount || !deviceSession_ || !deviceSession_->device) return nullptr;
    return &blocks_[index];
}

}  // namespace mixer
