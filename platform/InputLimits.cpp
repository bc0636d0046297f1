#include "platform/InputLimits.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// The reason in the program's language; the system's own words go to the log.
QString ErrnoText(int code)
{
    switch (code) {
    case ENOENT:
        return QStringLiteral("文件不存在");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有读取权限");
    case ENOTDIR:
        return QStringLiteral("路径中有一项不是文件夹");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长");
    case ENOMEM:
        return QStringLiteral("内存不足");
    default:
        qWarning("File error %d: %s", code, std::strerror(code));
        return QStringLiteral("系统错误 %1").arg(code);
    }
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

} // namespace

int OpenRegularFile(const QString& path, QString& reason)
{
    if (path.isEmpty()) {
        reason = QStringLiteral("没有文件名");
        return -1;
    }
    // Non-blocking, so that opening a pipe with no writer returns at once; the type
    // is checked on the open file, so the path cannot be swapped in between.
    FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &info) != 0) {
        reason = ErrnoText(errno);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        reason = QStringLiteral("不是普通文件");
        return -1;
    }
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags >= 0)
        ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
    return fd.Release();
}

std::optional<QByteArray> ReadRegularFile(const QString& path, int64_t maxBytes, QString& reason)
{
    const FileDescriptor fd(OpenRegularFile(path, reason));
    struct stat info {};
    if (fd.Get() < 0)
        return std::nullopt;
    if (::fstat(fd.Get(), &info) != 0) {
        reason = ErrnoText(errno);
        return std::nullopt;
    }
    if (info.st_size > maxBytes) {
        reason = QStringLiteral("文件大于 %1 字节").arg(maxBytes);
        return std::nullopt;
    }
    // No more than the size reported at opening is read, not one byte past it: a file
    // under /proc that reports 0 bytes may never answer a read (/proc/kmsg), or answer
    // for gigabytes; it reads as empty. What a file grows by meanwhile is not taken.
    const int64_t bound = info.st_size;
    try {
        QByteArray bytes;
        bytes.resize(static_cast<qsizetype>(bound));
        qsizetype used = 0;
        while (used < bytes.size()) {
            const ssize_t n = ::read(fd.Get(), bytes.data() + used, static_cast<size_t>(bytes.size() - used));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                reason = ErrnoText(errno);
                return std::nullopt;
            }
            if (n == 0)
                break;
            used += n;
        }
        bytes.resize(used);
        return bytes;
    } catch (const std::bad_alloc&) {
        reason = QStringLiteral("内存不足");
        return std::nullopt;
    }
}
