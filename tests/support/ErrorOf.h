#pragma once

#include "platform/Error.h"

#include <utility>

namespace corvane::test {

// Runs `operation` and returns the corvane::Error it raised: number 0 and no description when
// it raised none.
template <typename Operation>
Error errorOf(Operation&& operation) {
    try {
        std::forward<Operation>(operation)();
    } catch (const Error& e) {
        return e;
    }
    return Error(0, {});
}

}  // namespace corvane::test
