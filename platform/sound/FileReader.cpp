#include "FileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace fsound {

namespace {
std::atomic<unsigned long long> g_bytesRead{0};
} // namespace

FileHandle::FileHandle(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd;
}

FileHandle::~FileHandle() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

long long FileHandle::Size() const {
    struct stat st {};
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 ? st.st_size : 0;
}

FileReader::FileReader(int fd, long long base)
    : m_fd(fd), m_base(base),
      m_buffer(std::make_unique_for_overwrite<unsigned char[]>(kBufferBytes)) {}

long long FileReader::Length() const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        return 0;
    }
    return std::max<long long>(0, st.st_size - m_base);
}

long long FileReader::Seek(long long offset, int whence) {
    long long target = offset;
    if (whence == SEEK_CUR) {
        target = m_position + offset;
    } else if (whence == SEEK_END) {
        target = Length() + offset;
    } else if (whence != SEEK_SET) {
        return -1;
    }
    if (target < 0) {
        return -1;
    }
    m_position = target;
    return target;
}

long long ReadFileAt(int fd, long long offset, void* out, long long count) {
    char* bytes = static_cast<char*>(out);
    long long done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, bytes + done, static_cast<std::size_t>(count - done),
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += got;
    }
    g_bytesRead.fetch_add(static_cast<unsigned long long>(done), std::memory_order_relaxed);
    return done;
}

long long FileReader::Read(void* out, long long count) {
    if (count <= 0) {
        return 0;
    }
    char* bytes = static_cast<char*>(out);
    long long done = 0;
    const long long offset = m_position - m_bufferStart;
    if (offset >= 0 && offset < m_bufferBytes) {
        done = std::min(count, m_bufferBytes - offset);
        std::memcpy(bytes, m_buffer.get() + offset, static_cast<std::size_t>(done));
    }
    if (done < count) {
        const long long rest = count - done;
        if (rest >= kDirectBytes) {
            done += ReadAt(m_position + done, bytes + done, rest);
        } else {
            m_bufferStart = m_position + done;
            m_bufferBytes = ReadAt(m_bufferStart, m_buffer.get(), kBufferBytes);
            const long long more = std::min(rest, m_bufferBytes);
            std::memcpy(bytes + done, m_buffer.get(), static_cast<std::size_t>(more));
            done += more;
        }
    }
    m_position += done;
    return done;
}

unsigned long long BytesRead() {
    return g_bytesRead.load(std::memory_order_relaxed);
}

} // namespace fsound
