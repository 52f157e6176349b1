// Reads a file sequentially with plain POSIX reads, so the kernel sees one front-to-back pass.
#pragma once

#include "io/bytesource.h"

#include <memory>

namespace mlv2dng {

class FileSource : public ByteSource
{
public:
    // Returns null and fills error when the file cannot be opened.
    static std::unique_ptr<FileSource> open(const std::string& path, std::string& error);
    ~FileSource() override;

    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::ptrdiff_t read(std::uint8_t* destination, std::size_t n) override;
    std::uint64_t size() const override { return mSize; }
    const std::string& name() const override { return mPath; }

private:
    FileSource(int fd, std::uint64_t size, std::string path);

    const int mFd;
    const std::uint64_t mSize;
    const std::string mPath;
};

}  // namespace mlv2dng
