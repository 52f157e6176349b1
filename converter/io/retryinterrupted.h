// Repeats a POSIX call that a signal interrupted (-1 with EINTR) until it gives a real answer.
#pragma once

#include <cerrno>

namespace mlv2dng {

template <typename Call>
auto retryInterrupted(Call call) -> decltype(call())
{
    for (;;) {
        const auto result = call();
        if (!(result < 0 && errno == EINTR))
            return result;
    }
}

}  // namespace mlv2dng
