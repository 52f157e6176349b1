#include "io/nativefile.h"

#include "io/retryinterrupted.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace mlv2dng {

namespace {

int descriptor(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

}  // namespace

NativeFile::~NativeFile()
{
    if (isOpen())
        ::close(descriptor(mHandle));
}

bool NativeFile::fail()
{
    mError = std::strerror(errno);
    return false;
}

bool NativeFile::openForReading(const std::string& path)
{
    const int fd = retryInterrupted([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
    if (fd < 0)
        return fail();
    mHandle = fd;
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return true;
}

bool NativeFile::createForWriting(const std::string& path)
{
    const int fd =
        retryInterrupted([&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); });
    if (fd < 0)
        return fail();
    mHandle = fd;
    return true;
}

bool NativeFile::regularFileSize(std::uint64_t& size) const
{
    struct stat info
    {
    };
    if (::fstat(descriptor(mHandle), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

std::ptrdiff_t NativeFile::read(std::uint8_t* destination, std::size_t n)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = retryInterrupted([&] { return ::read(descriptor(mHandle), destination + done, n - done); });
        if (got < 0) {
            fail();
            return -1;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::ptrdiff_t>(done);
}

bool NativeFile::write(const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t done = retryInterrupted([&] { return ::write(descriptor(mHandle), data, size); });
        if (done < 0)
            return fail();
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

bool NativeFile::write(const std::uint8_t* head, std::size_t headSize, const std::uint8_t* tail, std::size_t tailSize)
{
    iovec parts[2] = {{const_cast<std::uint8_t*>(head), headSize}, {const_cast<std::uint8_t*>(tail), tailSize}};
    iovec* part = parts;
    int left = 2;
    while (left > 0) {
        if (part->iov_len == 0) {
            ++part;
            --left;
            continue;
        }
        const ssize_t done = retryInterrupted([&] { return ::writev(descriptor(mHandle), part, left); });
        if (done < 0)
            return fail();
        // A short write leaves the rest for another round.
        std::size_t rest = static_cast<std::size_t>(done);
        while (left > 0 && rest >= part->iov_len) {
            rest -= part->iov_len;
            ++part;
            --left;
        }
        if (left > 0) {
            part->iov_base = static_cast<std::uint8_t*>(part->iov_base) + rest;
            part->iov_len -= rest;
        }
    }
    return true;
}

bool NativeFile::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t done =
            retryInterrupted([&] { return ::pwrite(descriptor(mHandle), data, size, static_cast<off_t>(offset)); });
        if (done < 0)
            return fail();
        data += done;
        offset += static_cast<std::uint64_t>(done);
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

bool NativeFile::close()
{
    if (!isOpen())
        return true;
    const int fd = descriptor(mHandle);
    mHandle = kClosed;
    // Not retried: after EINTR Linux has closed the descriptor already.
    return ::close(fd) == 0 || fail();
}

NativeFile::Kind NativeFile::kindOf(const std::string& path)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        return Kind::Missing;
    if (S_ISREG(info.st_mode))
        return Kind::RegularFile;
    return S_ISDIR(info.st_mode) ? Kind::Directory : Kind::Other;
}

bool NativeFile::replace(const std::string& from, const std::string& to, std::string& error)
{
    if (std::rename(from.c_str(), to.c_str()) == 0)
        return true;
    error = std::strerror(errno);
    return false;
}

void NativeFile::remove(const std::string& path)
{
    ::unlink(path.c_str());
}

}  // namespace mlv2dng
