// Reading an audio file from a given offset on, for the decoders.
//
// Reads go through pread at a position of the reader's own, so that several
// readers can share one descriptor, a file that shrinks or vanishes while it
// plays just ends, and an offset into a container file costs nothing. Small
// reads (a frame header, a frame) are served from a buffer, so that a decoder
// asking for a few bytes at a time costs a system call per 64 kB, not per
// request; large reads go straight to the file.
//
// Thread contract: one thread at a time (the stream's decode lock, or the
// caller's thread at open).
#pragma once

#include <memory>
#include <string>

namespace fsound {

// An open regular file, closed on destruction.
class FileHandle {
  public:
    // Opens only regular files, without ever blocking on a FIFO or a device;
    // invalid() when the path names anything else.
    explicit FileHandle(const std::string& path);
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool valid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    long long Size() const; // 0 when it cannot be told

  private:
    int m_fd = -1;
};

// Up to `count` bytes at byte `offset` of the file, fewer at its end or on a
// read error; counted in BytesRead.
long long ReadFileAt(int fd, long long offset, void* out, long long count);

// Bytes read from audio files so far.
unsigned long long BytesRead();

class FileReader {
  public:
    // Position 0 is byte `base` of the file.
    FileReader(int fd, long long base);

    int Fd() const { return m_fd; }
    long long Base() const { return m_base; }
    // Bytes from the base to the end of the file as it is now.
    long long Length() const;
    long long Tell() const { return m_position; }
    // Moves like lseek (SEEK_SET, SEEK_CUR, SEEK_END); -1 and no move when the
    // target would lie before the base.
    long long Seek(long long offset, int whence);
    // Up to `count` bytes, fewer at the end of the file or on a read error.
    long long Read(void* out, long long count);
    // The same, at a position, leaving the reader's own where it is.
    long long ReadAt(long long position, void* out, long long count) const {
        return ReadFileAt(m_fd, m_base + position, out, count);
    }

  private:
    static constexpr long long kBufferBytes = 64 * 1024;
    static constexpr long long kDirectBytes = 4 * 1024;

    int m_fd;
    long long m_base;
    long long m_position = 0;
    std::unique_ptr<unsigned char[]> m_buffer;
    long long m_bufferStart = 0; // position of m_buffer[0]
    long long m_bufferBytes = 0;
};

} // namespace fsound
