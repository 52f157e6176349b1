#include "io/filesource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mlv2dng {

std::unique_ptr<FileSource> FileSource::open(const std::string& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return nullptr;
    }
    struct stat info{};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "'" + path + "' is not a regular file";
        ::close(fd);
        return nullptr;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return std::unique_ptr<FileSource>(new FileSource(fd, static_cast<std::uint64_t>(info.st_size), path));
}

FileSource::FileSource(int fd, std::uint64_t size, std::string path)
    : mFd(fd), mSize(size), mPath(std::move(path))
{
}

FileSource::~FileSource()
{
    ::close(mFd);
}

std::ptrdiff_t FileSource::read(std::uint8_t* destination, std::size_t n)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::read(mFd, destination + done, n - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::ptrdiff_t>(done);
}

}  // namespace mlv2dng
