#include "cli/guardedrun.h"

#include "pipeline/converter.h"

#include <exception>
#include <new>

namespace mlv2dng {

int runGuarded(const std::function<int()>& work, std::ostream& err)
{
    // The messages are written without building strings, which might fail again after bad_alloc.
    try {
        return work();
    } catch (const std::bad_alloc&) {
        err << "[ERROR] out of memory" << std::endl;
    } catch (const std::exception& failure) {
        err << "[ERROR] unexpected failure: " << failure.what() << std::endl;
    } catch (...) {
        err << "[ERROR] unexpected failure" << std::endl;
    }
    return Converter::Failed;
}

}  // namespace mlv2dng
