#include "io/filesource.h"

namespace mlv2dng {

std::unique_ptr<FileSource> FileSource::open(const std::string& path, std::string& error)
{
    NativeFile file;
    if (!file.openForReading(path)) {
        error = "cannot open '" + path + "': " + file.error();
        return nullptr;
    }
    std::uint64_t size = 0;
    if (!file.regularFileSize(size)) {
        error = "'" + path + "' is not a regular file";
        return nullptr;
    }
    return std::unique_ptr<FileSource>(new FileSource(std::move(file), size, path));
}

FileSource::FileSource(NativeFile file, std::uint64_t size, std::string path)
    : mFile(std::move(file)), mSize(size), mPath(std::move(path))
{
}

std::ptrdiff_t FileSource::read(std::uint8_t* destination, std::size_t n)
{
    return mFile.read(destination, n);
}

}  // namespace mlv2dng
