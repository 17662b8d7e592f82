#pragma once
// Every event handler (button, timer, key, start-up step) runs inside `guarded`, so an
// error escaping it reaches the application's standard error box and the program goes on.
// Qt leaves exceptions thrown through signal-slot connections undefined.

#include "core/error.h"
#include "platform/dialogs.h"

#include <exception>
#include <type_traits>
#include <utility>

namespace rimo {

void reportEscapedError(const std::exception& e);
void reportUnknownError();

template <typename F> void runGuarded(F&& f)
{
    try {
        std::forward<F>(f)();
    } catch (const std::exception& e) {
        reportEscapedError(e);
    } catch (...) {
        reportUnknownError();
    }
}

// Wraps a callable for a signal connection: connect(b, &QPushButton::clicked, guarded([&] {...}));
template <typename F> auto guarded(F f)
{
    return [f = std::move(f)](auto&&... args) mutable {
        runGuarded([&] {
            // A handler may take the signal's arguments or none of them (clicked(bool) -> []{}).
            if constexpr (std::is_invocable_v<F&, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                f();
        });
    };
}

} // namespace rimo
