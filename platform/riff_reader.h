// A RIFF chunk reader over a file or a byte image, walking chunks the way the
// multimedia RIFF functions do: descend into a chunk by id (or into a RIFF form
// by form type), read from the current position, ascend past a chunk's end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

constexpr uint32_t RiffFourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
           uint32_t(uint8_t(d)) << 24;
}

// The largest wave file read: three minutes of 16-bit stereo at 44 100 Hz,
// far beyond any sound effect. A larger file does not open.
constexpr uint64_t kMaxWaveFileBytes = 32u << 20;

struct RiffChunk {
    uint32_t id = 0;
    uint32_t size = 0;          // as declared in the header
    uint32_t formType = 0;      // RIFF and LIST chunks only
    uint64_t dataOffset = 0;    // first byte after the 8-byte header
    // End of the region a search inside this chunk may walk: the declared end,
    // cut at the end of the source.
    uint64_t contentEnd = 0;
};

class RiffReader {
public:
    virtual ~RiffReader() = default;

    // nullptr when the file cannot be opened for reading, is not a regular file
    // or is larger than kMaxWaveFileBytes.
    static std::unique_ptr<RiffReader> openFile(const std::string& path);
    // Reads the caller's bytes in place; they must outlive the reader.
    static std::unique_ptr<RiffReader> openMemory(const uint8_t* data, size_t size);

    // Finds a "RIFF" chunk of the given form type among the chunks that start
    // at the current position; on success the position is just after the form type.
    bool descendRiff(uint32_t formType, RiffChunk& out);
    // Finds the chunk `id` among the chunks from the current position to the end
    // of `parent`; on success the position is the start of its contents.
    bool descend(uint32_t id, const RiffChunk& parent, RiffChunk& out);
    // Moves to the end of the chunk, padded to an even length.
    void ascend(const RiffChunk& chunk);

    // Reads up to n bytes from the current position; the chunk does not bound it,
    // only the source does. Returns the bytes read and advances past them.
    size_t read(void* dst, size_t n);

    uint64_t position() const { return position_; }
    // Bytes of the source from the current position on.
    uint64_t remaining() const { return position_ < size() ? size() - position_ : 0; }
    virtual uint64_t size() const = 0;

protected:
    virtual size_t readAt(uint64_t offset, void* dst, size_t n) = 0;

private:
    bool readHeader(uint64_t at, uint64_t end, RiffChunk& out);

    uint64_t position_ = 0;
};
