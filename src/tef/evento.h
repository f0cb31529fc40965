// Calling an event the component needs: an unbound one is a clear error, not a crash.
#pragma once

#include <string>

#include "tef/errors.h"

namespace tef {

// `handler` when it is bound; otherwise raises a plain error "Evento \"<nome>\" não
// programado".
template <class Handler>
const Handler& Evento(const Handler& handler, const char* nome) {
    if (!handler) throw EKaCliSiTef(std::string("Evento \"") + nome + "\" não programado");
    return handler;
}

}  // namespace tef
