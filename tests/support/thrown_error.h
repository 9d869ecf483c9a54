// The run-time error number a piece of library code throws, 0 when it throws none.
#pragma once
#include "frame/errors.h"

namespace tessary::test {

template <class Body>
long ErrorNumber(Body body) {
    try {
        body();
    } catch (const RuntimeError& e) {
        return e.number;
    }
    return 0;
}

}  // namespace tessary::test
