#include "io/atomicfile.h"

namespace mlv2dng {

AtomicFile::AtomicFile(std::string finalPath) : mFinalPath(std::move(finalPath))
{
}

AtomicFile::~AtomicFile()
{
    // Closed first: Windows removes no open file.
    mFile.close();
    if (!mCommitted)
        NativeFile::remove(temporaryPath());
}

bool AtomicFile::failWith(const std::string& what, const std::string& reason)
{
    mError = what + " '" + mFinalPath + "': " + reason;
    return false;
}

bool AtomicFile::open()
{
    return mFile.createForWriting(temporaryPath()) || failWith("cannot create", mFile.error());
}

bool AtomicFile::write(const std::uint8_t* data, std::size_t size)
{
    return mFile.write(data, size) || failWith("cannot write", mFile.error());
}

bool AtomicFile::write(const std::uint8_t* head, std::size_t headSize, const std::uint8_t* tail, std::size_t tailSize)
{
    return mFile.write(head, headSize, tail, tailSize) || failWith("cannot write", mFile.error());
}

bool AtomicFile::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size)
{
    return mFile.writeAt(offset, data, size) || failWith("cannot write", mFile.error());
}

bool AtomicFile::commit()
{
    if (!mFile.close())
        return failWith("cannot finish", mFile.error());
    std::string reason;
    if (!NativeFile::replace(temporaryPath(), mFinalPath, reason))
        return failWith("cannot rename the finished file to", reason);
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
