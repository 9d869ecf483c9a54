// The failure style of a printer member that answers with a value: its body
// runs under Showing, and a failure (shown with the member's prefix) leaves
// the answer at the value it started with.
#pragma once
#include <utility>

#include "frame/errors.h"

namespace tessary {

template <class T, class Body>
T ShowingResult(const wchar_t* prefix, T unanswered, Body&& body) {
    T result = std::move(unanswered);
    Showing(prefix, [&] { result = std::forward<Body>(body)(); });
    return result;
}

}  // namespace tessary
