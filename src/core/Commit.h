// Commit-or-restore, written once: a command names the record fields it
// changes and the values it asks for; the fields take them, the command is
// sent, and when the card refused it every named field gets back the value
// it held before.
#pragma once

#include <tuple>
#include <type_traits>

#include "visa_types.h"

template <class T> struct Change {
    T& field;
    T value;
};

// One field of the record and the value a command asks for.
template <class T> Change<T> Set(T& field, std::type_identity_t<T> value) {
    return {field, std::move(value)};
}

// `send` runs once the fields hold their new values and returns the card's
// status, which is returned unchanged.
template <class Send, class... T> ViStatus Commit(Send&& send, Change<T>... changes) {
    const std::tuple<T...> saved{changes.field...};
    ((changes.field = changes.value), ...);
    const ViStatus status = send();
    if (status != VI_SUCCESS)
        std::apply([&](const T&... old) { ((changes.field = old), ...); }, saved);
    return status;
}
