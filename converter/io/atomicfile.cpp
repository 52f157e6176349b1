#include "io/atomicfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace mlv2dng {

AtomicFile::AtomicFile(std::string finalPath) : mFinalPath(std::move(finalPath))
{
}

AtomicFile::~AtomicFile()
{
    if (mFd >= 0)
        ::close(mFd);
    if (!mCommitted)
        ::unlink(temporaryPath().c_str());
}

bool AtomicFile::failWith(const std::string& what)
{
    mError = what + " '" + mFinalPath + "': " + std::strerror(errno);
    return false;
}

bool AtomicFile::open()
{
    mFd = ::open(temporaryPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return mFd >= 0 || failWith("cannot create");
}

bool AtomicFile::write(const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t done = ::write(mFd, data, size);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return failWith("cannot write");
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

bool AtomicFile::write(const std::uint8_t* head, std::size_t headSize, const std::uint8_t* tail,
                       std::size_t tailSize)
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
        const ssize_t done = ::writev(mFd, part, left);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return failWith("cannot write");
        }
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

bool AtomicFile::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t done = ::pwrite(mFd, data, size, static_cast<off_t>(offset));
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return failWith("cannot write");
        }
        data += done;
        offset += static_cast<std::uint64_t>(done);
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

bool AtomicFile::commit()
{
    const int fd = mFd;
    mFd = -1;
    if (::close(fd) != 0)
        return failWith("cannot finish");
    if (std::rename(temporaryPath().c_str(), mFinalPath.c_str()) != 0)
        return failWith("cannot rename the finished file to");
    mCommitted = true;
    return true;
}

bool AtomicFile::writeWhole(const std::string& path, const std::uint8_t* data, std::size_t size, std::string& error)
{
    AtomicFile file(path);
    const bool ok = file.open() && file.write(data, size) && file.commit();
    if (!ok)
        error = file.error();
    return ok;
}

bool AtomicFile::writeWhole(const std::string& path, const std::uint8_t* head, std::size_t headSize,
                            const std::uint8_t* tail, std::size_t tailSize, std::string& error)
{
    AtomicFile file(path);
    const bool ok = file.open() && file.write(head, headSize, tail, tailSize) && file.commit();
    if (!ok)
        error = file.error();
    return ok;
}

}  // namespace mlv2dng
