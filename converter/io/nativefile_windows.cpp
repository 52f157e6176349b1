#include "io/nativefile.h"

#include <algorithm>
#include <string>
#include <windows.h>

namespace mlv2dng {

namespace {

// ReadFile and WriteFile take 32-bit counts: larger transfers go in pieces.
constexpr std::size_t kMaxTransfer = 1u << 30;

HANDLE handleOf(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

std::wstring wide(const std::string& utf8)
{
    if (utf8.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], length);
    return text;
}

// The reasons in the words Linux uses (its C library's, not the Windows one's), so messages read the same.
std::string reason(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return "No such file or directory";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return "Permission denied";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return "No space left on device";
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
        return "Invalid argument";
    case ERROR_FILENAME_EXCED_RANGE:
        return "File name too long";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return "Cannot allocate memory";
    default:
        return "system error " + std::to_string(code);
    }
}

}  // namespace

NativeFile::~NativeFile()
{
    if (isOpen())
        CloseHandle(handleOf(mHandle));
}

bool NativeFile::fail()
{
    mError = reason(GetLastError());
    return false;
}

bool NativeFile::openForReading(const std::string& path)
{
    // Others may read, write or delete meanwhile, as on Linux; a folder opens too, and is refused by
    // regularFileSize() with the same words as there.
    const HANDLE handle =
        CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return fail();
    mHandle = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool NativeFile::createForWriting(const std::string& path)
{
    const HANDLE handle = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return fail();
    mHandle = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool NativeFile::regularFileSize(std::uint64_t& size) const
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handleOf(mHandle)) != FILE_TYPE_DISK || !GetFileInformationByHandle(handleOf(mHandle), &info)
        || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return true;
}

std::ptrdiff_t NativeFile::read(std::uint8_t* destination, std::size_t n)
{
    std::size_t done = 0;
    while (done < n) {
        DWORD got = 0;
        if (!ReadFile(handleOf(mHandle), destination + done, static_cast<DWORD>(std::min(n - done, kMaxTransfer)), &got,
                      nullptr)) {
            fail();
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return static_cast<std::ptrdiff_t>(done);
}

bool NativeFile::write(const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        DWORD done = 0;
        if (!WriteFile(handleOf(mHandle), data, static_cast<DWORD>(std::min(size, kMaxTransfer)), &done, nullptr))
            return fail();
        data += done;
        size -= done;
    }
    return true;
}

bool NativeFile::write(const std::uint8_t* head, std::size_t headSize, const std::uint8_t* tail, std::size_t tailSize)
{
    // WriteFileGather wants page-sized pieces of an unbuffered file: two calls it is.
    return write(head, headSize) && write(tail, tailSize);
}

bool NativeFile::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size)
{
    // A positioned WriteFile moves the file pointer, which pwrite leaves alone: put it back.
    LARGE_INTEGER position{};
    const LARGE_INTEGER zero{};
    if (!SetFilePointerEx(handleOf(mHandle), zero, &position, FILE_CURRENT))
        return fail();
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD done = 0;
        if (!WriteFile(handleOf(mHandle), data, static_cast<DWORD>(std::min(size, kMaxTransfer)), &done, &at))
            return fail();
        data += done;
        offset += done;
        size -= done;
    }
    return SetFilePointerEx(handleOf(mHandle), position, nullptr, FILE_BEGIN) || fail();
}

bool NativeFile::close()
{
    if (!isOpen())
        return true;
    const HANDLE handle = handleOf(mHandle);
    mHandle = kClosed;
    return CloseHandle(handle) || fail();
}

NativeFile::Kind NativeFile::kindOf(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Kind::Missing;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Kind::Directory;
    return (attributes & FILE_ATTRIBUTE_DEVICE) ? Kind::Other : Kind::RegularFile;
}

bool NativeFile::replace(const std::string& from, const std::string& to, std::string& error)
{
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    error = reason(GetLastError());
    return false;
}

void NativeFile::remove(const std::string& path)
{
    DeleteFileW(wide(path).c_str());
}

}  // namespace mlv2dng
