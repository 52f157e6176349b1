// One open file through the system's own calls: a POSIX descriptor, or a Win32 handle on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace mlv2dng {

class NativeFile
{
public:
    enum class Kind { Missing, RegularFile, Directory, Other };

    // Where a path may be cut into folder and name: Windows takes either slash.
#ifdef _WIN32
    static constexpr const char* kSeparators = "/\\";
#else
    static constexpr const char* kSeparators = "/";
#endif

    NativeFile() = default;
    ~NativeFile();
    NativeFile(NativeFile&& other) noexcept
        : mHandle(std::exchange(other.mHandle, kClosed)), mError(std::move(other.mError))
    {
    }
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;

    // Paths are UTF-8. Each call that fails leaves the reason in error().
    bool openForReading(const std::string& path);
    bool createForWriting(const std::string& path);
    bool isOpen() const
    {
        return mHandle != kClosed;
    }
    // The length of the open file, or false when it is not a regular file.
    bool regularFileSize(std::uint64_t& size) const;

    // Up to n bytes, fewer only at the end; -1 on an error.
    std::ptrdiff_t read(std::uint8_t* destination, std::size_t n);
    bool write(const std::uint8_t* data, std::size_t size);
    // Head then tail, in one system call where there is one for it.
    bool write(const std::uint8_t* head, std::size_t headSize, const std::uint8_t* tail, std::size_t tailSize);
    // Leaves the position that write() continues from where it was.
    bool writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size);
    // Closing a file that is not open does nothing.
    bool close();

    const std::string& error() const
    {
        return mError;
    }

    static Kind kindOf(const std::string& path);
    // Gives a finished file the name, replacing whatever was there.
    static bool replace(const std::string& from, const std::string& to, std::string& error);
    static void remove(const std::string& path);

private:
    bool fail();

    static constexpr std::intptr_t kClosed = -1;  // -1 is also INVALID_HANDLE_VALUE
    std::intptr_t mHandle = kClosed;
    std::string mError;
};

}  // namespace mlv2dng
