// Taking and giving back the output device, the block ring, the device
// queue, the two positions and the pump that keeps the ring filled.
#include <string>

#include "mixer/mixer_internal.h"
#include "platform/milli_clock.h"

namespace {

MixBlock* gBlocks[MIX_BLOCK_COUNT] = {};
MixBlock* gQueueHead = nullptr;
MixBlock* gQueueTail = nullptr;

void freeBlocks() {
    for (auto& b : gBlocks) {
        delete b;
        b = nullptr;
    }
}

void unprepareBlocks(MixSession& s) {
    for (auto* b : gBlocks)
        if (b && s.device) s.device->unprepare(b->header);
}

// The device is closed first (its thread has stopped when that returns); only
// then go the blocks and the window that its messages name.
void forgetDevice(MixSession& s) {
    s.device.reset();
    freeBlocks();
    DestroyCallbackWindow(s.window);
    s.window = 0;
}

void openDevice(MixSession& s) {
    s.window = CreateCallbackWindow(MIX_CLASS_NAME);
    if (!s.window) MixFail("Failed to create callback window");

    WaveOutFormat format;
    format.channels = s.format.channels;
    format.samplesPerSec = s.format.samplesPerSec;
    format.bitsPerSample = s.format.bitsPerSample;
    MMRESULT r = CurrentWaveOutDriver().open(s.device, s.deviceId, format, s.window);
    if (r != MMSYSERR_NOERROR) {
        s.device.reset();
        DestroyCallbackWindow(s.window);
        s.window = 0;
        throw ESoundMixError("Failed to open waveform output device #" + std::to_string(r & 0xFFFF));
    }

    for (auto& b : gBlocks) {
        b = new (std::nothrow) MixBlock;
        if (!b) {
            forgetDevice(s);
            MixFail(MIX_MSG_OUT_OF_MEMORY);
        }
        b->header.data = b->data;
        b->header.bufferLength = static_cast<uint32_t>(s.blockLength);
    }
    for (auto* b : gBlocks) {
        r = s.device->prepare(b->header);
        if (r != MMSYSERR_NOERROR) {
            unprepareBlocks(s);
            forgetDevice(s);
            throw ESoundMixError("Unable to prepare wave header #" + std::to_string(r));
        }
        b->header.flags.fetch_or(WHDR_DONE);
    }
}

void closeDevice(MixSession& s) {
    ResetKeepingPosition(s);
    MixQueueReclaimAll();
    unprepareBlocks(s);
    forgetDevice(s);
}

MixPosition deviceBytes(MixSession& s) {
    return s.device ? static_cast<MixPosition>(s.device->positionBytes()) : 0;
}

}  // namespace

MixBlock* MixBlockAt(int index) { return index >= 0 && index < MIX_BLOCK_COUNT ? gBlocks[index] : nullptr; }

// ---- device queue

MixBlock* MixQueueHead() { return gQueueHead; }
bool MixQueueEmpty() { return gQueueHead == nullptr; }

void MixQueueAppend(MixBlock* block) {
    block->link = nullptr;
    if (gQueueTail) gQueueTail->link = block;
    else gQueueHead = block;
    gQueueTail = block;
}

void MixQueueUnlink(MixBlock* block) {
    MixBlock* prev = nullptr;
    for (MixBlock* b = gQueueHead; b; prev = b, b = b->link) {
        if (b != block) continue;
        if (prev) prev->link = b->link;
        else gQueueHead = b->link;
        if (gQueueTail == b) gQueueTail = prev;
        b->link = nullptr;
        return;
    }
}

void MixQueueReclaimAll() {
    while (MixBlock* b = gQueueHead) {
        b->free = true;
        MixQueueUnlink(b);
    }
}

void MixWriteQueuedBlock(MixSession& s, MixBlock* block) {
    if (!s.device || s.device->write(block->header) != MMSYSERR_NOERROR) {
        block->free = true;
        MixQueueUnlink(block);
        MixFail(MIX_MSG_WRITE_FAILED);
    }
}

// ---- positions

MixPosition PlayPosition(MixSession& s, uint8_t useDeviceCounter) {
    if (useDeviceCounter == 1) return deviceBytes(s) + s.deviceOffset;

    uint32_t elapsed = MilliClockNow() - s.clockBase;
    // Move the anchor on by whole seconds long before the 32-bit clock could
    // wrap past it; whole seconds are whole bytes, so nothing is lost.
    if (elapsed >= (1u << 30)) {
        uint32_t seconds = elapsed / 1000;
        s.clockAnchor += static_cast<MixPosition>(seconds) * s.format.avgBytesPerSec;
        s.clockBase += seconds * 1000;
        elapsed -= seconds * 1000;
    }
    MixPosition p = s.clockAnchor + static_cast<MixPosition>(elapsed) * s.format.avgBytesPerSec / 1000;
    if (s.format.blockAlign > 1 && (p & 1)) --p;
    return p;
}

void SyncPosition(MixSession& s, MixPosition p) {
    s.deviceOffset = p - deviceBytes(s);
    s.clockBase = MilliClockNow();
    s.clockAnchor = p;
    s.mixPosition = p;
}

void ResetKeepingPosition(MixSession& s) {
    MixPosition p = PlayPosition(s, s.devicePositionFlag);
    if (s.device) s.device->reset();
    SyncPosition(s, p);
}

void ResetIdlePosition(MixSession& s) {
    if (!MixQueueEmpty()) return;
    for (MixPlayEntry* head : s.channelHeads)
        if (head && head != MixClosedChannel()) return;
    SyncPosition(s, 0);
}

// ---- blocks

MixBlock* TakeFreeBlock(MixSession& s) {
    for (int i = 0; i < s.blocksInUse && i < MIX_BLOCK_COUNT; ++i) {
        MixBlock* b = gBlocks[i];
        if (!b || !b->free) continue;
        b->free = false;
        b->header.bufferLength = static_cast<uint32_t>(s.blockLength);
        b->header.data = b->data;
        b->session = DeviceSession;
        return b;
    }
    return nullptr;
}

void MixRefill(MixSession& s) {
    while (FillBlock(s, TakeFreeBlock(s), true)) {
    }
}

void MixRefillPaused(MixSession& s) {
    bool pause = MixQueueEmpty() && s.device;
    if (pause) s.device->pause();
    try {
        MixRefill(s);
    } catch (...) {
        if (pause) s.device->restart();
        throw;
    }
    if (pause) s.device->restart();
}

void RetireFinishedPlays(MixSession& s) {
    MixPosition pos = PlayPosition(s, 1);
    for (int c = 0; c < MIX_CHANNEL_COUNT; ++c) {
        if (!MixChannelIsOpen(s, c)) continue;
        while (MixPlayEntry* e = s.channelHeads[c]) {
            if (pos < e->end) break;
            s.channelHeads[c] = e->link;
            if (e->params.notify)
                PostWindowMessage(e->params.notify, MIX_END_NOTICE, static_cast<uintptr_t>(c),
                                  static_cast<intptr_t>(e->params.wave));
            MixPoolGiveBack(e);
        }
    }
}

void SoundMixPump() {
    if (!DeviceSession) return;
    CurrentSession = DeviceSession;
    MixSession& s = *DeviceSession;
    // By the done flag, not by the block a message names: one message may
    // bring back several blocks, and those after a reset bring back none.
    for (MixBlock* b = gQueueHead; b;) {
        if (b->header.done()) {
            MixQueueUnlink(b);
            b->free = true;
            b = gQueueHead;
        } else {
            b = b->link;
        }
    }
    RetireFinishedPlays(s);
    MixRefill(s);
}

intptr_t MixWindowProc(hMixWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == MM_WOM_DONE) {
        SoundMixPump();
        return 0;
    }
    return DefaultWindowProc(window, message, wParam, lParam);
}

// ---- activation

void SoundMixActivate(hMixSession session, bool activate) {
    MixSession& s = MixUseSession(session);
    if (activate) {
        if (DeviceSession) {
            if (DeviceSession == &s) return;
            MixFail("Resource is already allocated to a process");
        }
        // Claimed before opening: a failed activation keeps the claim until a deactivation.
        DeviceSession = &s;
        if (!s.device) openDevice(s);
        s.activated = true;
        SyncPosition(s, s.mixPosition);
        MixRefill(s);
    } else {
        if (s.activated) s.mixPosition = PlayPosition(s, s.devicePositionFlag);
        if (s.activated && s.device) closeDevice(s);
        s.activated = false;
        if (DeviceSession == &s) DeviceSession = nullptr;
    }
}
