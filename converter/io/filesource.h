// Reads a file sequentially with the system's plain reads, so it sees one front-to-back pass.
#pragma once

#include "io/bytesource.h"
#include "io/nativefile.h"

#include <memory>

namespace mlv2dng {

class FileSource : public ByteSource
{
public:
    // Returns null and fills error when the file cannot be opened.
    static std::unique_ptr<FileSource> open(const std::string& path, std::string& error);

    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::ptrdiff_t read(std::uint8_t* destination, std::size_t n) override;
    std::uint64_t size() const override { return mSize; }
    const std::string& name() const override { return mPath; }

private:
    FileSource(NativeFile file, std::uint64_t size, std::string path);

    NativeFile mFile;
    const std::uint64_t mSize;
    const std::string mPath;
};

}  // namespace mlv2dng
