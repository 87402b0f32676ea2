// The pump that keeps the block ring filled: the device queue, the two
// positions, taking blocks back and retiring the plays heard to their end.
#include "mixer_internal.h"
#include "platform/milli_clock.h"

namespace mixer {

// ---- device queue

int DeviceQueue::length() const {
    int n = 0;
    for (const Block* b = head_; b; b = b->link) ++n;
    return n;
}

void DeviceQueue::append(Block* block) {
    block->link = nullptr;
    if (tail_) tail_->link = block;
    else head_ = block;
    tail_ = block;
}

void DeviceQueue::unlink(Block* block) {
    Block* prev = nullptr;
    for (Block* b = head_; b; prev = b, b = b->link) {
        if (b != block) continue;
        if (prev) prev->link = b->link;
        else head_ = b->link;
        if (tail_ == b) tail_ = prev;
        b->link = nullptr;
        return;
    }
}

void DeviceQueue::reclaimAll() {
    while (Block* b = head_) {
        b->free = true;
        unlink(b);
    }
}

void Mixer::writeQueuedBlock(Session& s, Block* block) {
    if (!s.device || s.device->write(block->header) != MMSYSERR_NOERROR) {
        block->free = true;
        queue_.unlink(block);
        fail(kMsgWriteFailed);
    }
}

// ---- positions

Position Mixer::playPosition(Session& s, PositionFrom from) {
    if (from == PositionFrom::DeviceCounter)
        return (s.device ? static_cast<Position>(s.device->positionBytes()) : 0) + s.deviceOffset;

    uint32_t elapsed = MilliClockNow() - s.clockBase;
    // Move the anchor on by whole seconds long before the 32-bit clock could
    // wrap past it; whole seconds are whole bytes, so nothing is lost.
    if (elapsed >= (1u << 30)) {
        uint32_t seconds = elapsed / 1000;
        s.clockAnchor += static_cast<Position>(seconds) * s.format.avgBytesPerSec;
        s.clockBase += seconds * 1000;
        elapsed -= seconds * 1000;
    }
    Position p = s.clockAnchor + static_cast<Position>(elapsed) * s.format.avgBytesPerSec / 1000;
    if (s.format.blockAlign > 1 && (p & 1)) --p;
    return p;
}

void Mixer::syncPosition(Session& s, Position p) {
    s.deviceOffset = p - (s.device ? static_cast<Position>(s.device->positionBytes()) : 0);
    s.clockBase = MilliClockNow();
    s.clockAnchor = p;
    s.mixPosition = p;
}

void Mixer::resetKeepingPosition(Session& s) {
    Position p = playPosition(s, s.positionFrom());
    if (s.device) s.device->reset();
    syncPosition(s, p);
}

void Mixer::resetIdlePosition(Session& s) {
    if (!queue_.empty()) return;
    for (int c = 0; c < kChannelCount; ++c)
        if (channelIsOpen(s, c) && s.channelHeads[c]) return;
    syncPosition(s, 0);
}

// ---- blocks

Block* Mixer::takeFreeBlock(Session& s) {
    if (!s.device) return nullptr;
    for (int i = 0; i < s.blocksInUse && i < kBlockCount; ++i) {
        Block& b = blocks_[i];
        if (!b.free) continue;
        b.free = false;
        b.header.bufferLength = static_cast<uint32_t>(s.blockLength);
        b.header.data = b.data;
        return &b;
    }
    return nullptr;
}

void Mixer::refill(Session& s) {
    while (fillBlock(s, takeFreeBlock(s), AfterFill::Write)) {
    }
}

void Mixer::refillPaused(Session& s) {
    // Paused when nothing was queued, so the device starts with every initial
    // block in place; it runs again however the refill ends.
    struct Restart {
        WaveOutDevice* device;
        ~Restart() {
            if (device) device->restart();
        }
    } restart{queue_.empty() && s.device ? s.device.get() : nullptr};
    if (restart.device) restart.device->pause();
    refill(s);
}

void Mixer::retireFinishedPlays(Session& s) {
    const Position pos = playPosition(s, PositionFrom::DeviceCounter);
    for (int c = 0; c < kChannelCount; ++c) {
        if (!channelIsOpen(s, c)) continue;
        while (PlayEntry* e = s.channelHeads[c]) {
            if (pos < e->end) break;
            s.channelHeads[c] = e->link;
            if (e->params.notify)
                PostWindowMessage(e->params.notify, MIX_END_NOTICE, static_cast<uintptr_t>(c),
                                  static_cast<intptr_t>(e->params.wave));
            pool_.giveBack(e);
        }
    }
}

void Mixer::pump() {
    if (!deviceSession_) return;
    current_ = deviceSession_;
    Session& s = *deviceSession_;
    // By the done flag, not by the block a message names: one message may
    // bring back several blocks, and those after a reset bring back none.
    for (Block* b = queue_.head(); b;) {
        if (b->header.done()) {
            queue_.unlink(b);
            b->free = true;
            b = queue_.head();
        } else {
            b = b->link;
        }
    }
    retireFinishedPlays(s);
    refill(s);
}

intptr_t Mixer::windowProc(hMixWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    // The class's windows all belong to the one mixer.
    if (message == MM_WOM_DONE) {
        theMixer().pump();
        return 0;
    }
    return DefaultWindowProc(window, message, wParam, lParam);
}

}  // namespace mixer
