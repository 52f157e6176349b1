// Writes a file under a temporary name and gives it its final name only once it is complete.
#pragma once

#include "io/nativefile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace mlv2dng {

class AtomicFile
{
public:
    explicit AtomicFile(std::string finalPath);
    // An uncommitted file is removed: a half-written output never stands under its final name.
    ~AtomicFile();

    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool open();
    bool write(const std::uint8_t* data, std::size_t size);
    bool write(const std::uint8_t* head, std::size_t headSize, const std::uint8_t* tail, std::size_t tailSize);
    bool writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size);
    // Closes and renames to the final name.
    bool commit();

    const std::string& error() const { return mError; }
    const std::string& finalPath() const { return mFinalPath; }
    std::string temporaryPath() const { return mFinalPath + ".part"; }

    // Writes a whole buffer in one go, the common case.
    static bool writeWhole(const std::string& path, const std::uint8_t* data, std::size_t size, std::string& error);
    // Writes two buffers one after the other, in one system call when the system allows.
    static bool writeWhole(const std::string& path, const std::uint8_t* head, std::size_t headSize,
                           const std::uint8_t* tail, std::size_t tailSize, std::string& error);

private:
    bool failWith(const std::string& what, const std::string& reason);

    const std::string mFinalPath;
    NativeFile mFile;
    bool mCommitted = false;
    std::string mError;
};

}  // namespace mlv2dng
