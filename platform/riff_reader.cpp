#include "platform/riff_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/file.h"

namespace {

constexpr uint32_t kRiff = RiffFourCC('R', 'I', 'F', 'F');
constexpr uint32_t kList = RiffFourCC('L', 'I', 'S', 'T');

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

uint64_t paddedEnd(const RiffChunk& c) { return c.dataOffset + c.size + (c.size & 1u); }

class MemoryRiffReader final : public RiffReader {
public:
    MemoryRiffReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
    uint64_t size() const override { return size_; }

protected:
    size_t readAt(uint64_t offset, void* dst, size_t n) override {
        if (offset >= size_) return 0;
        size_t got = size_t(std::min<uint64_t>(n, size_ - offset));
        std::memcpy(dst, data_ + offset, got);
        return got;
    }

private:
    const uint8_t* data_;
    uint64_t size_;
};

class FileRiffReader final : public RiffReader {
public:
    FileRiffReader(File f, uint64_t size) : file_(std::move(f)), size_(size) {}
    uint64_t size() const override { return size_; }

protected:
    size_t readAt(uint64_t offset, void* dst, size_t n) override {
        size_t got = 0;
        while (got < n && offset + got < size_) {
            const ssize_t r = ::pread(file_.fd(), static_cast<char*>(dst) + got, n - got, off_t(offset + got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            got += size_t(r);
        }
        return got;
    }

private:
    File file_;
    uint64_t size_;
};

}  // namespace

std::unique_ptr<RiffReader> RiffReader::openFile(const std::string& path) {
    File f;
    uint64_t size = 0;
    if (openRegularFile(path, f, kMaxWaveFileBytes, &size) != 0) return nullptr;
    return std::make_unique<FileRiffReader>(std::move(f), size);
}

std::unique_ptr<RiffReader> RiffReader::openMemory(const uint8_t* data, size_t size) {
    return std::make_unique<MemoryRiffReader>(data, size);
}

bool RiffReader::readHeader(uint64_t at, uint64_t end, RiffChunk& out) {
    uint8_t h[12];
    if (at + 8 > end || readAt(at, h, 8) != 8) return false;
    out.id = le32(h);
    out.size = le32(h + 4);
    out.formType = 0;
    out.dataOffset = at + 8;
    out.contentEnd = std::min<uint64_t>(out.dataOffset + out.size, size());
    if (out.id == kRiff || out.id == kList) {
        if (at + 12 > end || readAt(at + 8, h + 8, 4) != 4) return false;
        out.formType = le32(h + 8);
    }
    return true;
}

bool RiffReader::descendRiff(uint32_t formType, RiffChunk& out) {
    RiffChunk c;
    for (uint64_t at = position_; readHeader(at, size(), c); at = paddedEnd(c)) {
        if (c.id == kRiff && c.formType == formType) {
            out = c;
            position_ = c.dataOffset + 4;
            return true;
        }
    }
    return false;
}

bool RiffReader::descend(uint32_t id, const RiffChunk& parent, RiffChunk& out) {
    RiffChunk c;
    for (uint64_t at = position_; readHeader(at, parent.contentEnd, c); at = paddedEnd(c)) {
        if (c.id == id) {
            out = c;
            position_ = c.dataOffset;
            return true;
        }
    }
    return false;
}

void RiffReader::ascend(const RiffChunk& chunk) { position_ = paddedEnd(chunk); }

size_t RiffReader::read(void* dst, size_t n) {
    size_t got = readAt(position_, dst, n);
    position_ += got;
    return got;
}
