#include "tef/relogio.h"

#include <algorithm>
#include <thread>

namespace tef {

TRelogio TRelogio::Sistema() {
    return {[] { return std::chrono::steady_clock::now(); },
            [](std::chrono::milliseconds duracao) { std::this_thread::sleep_for(duracao); }};
}

void TRelogio::AguardarDesde(Instante inicio, std::chrono::milliseconds minimo,
                             std::chrono::milliseconds passo) const {
    using std::chrono::milliseconds;
    for (;;) {
        const auto restante = minimo - std::chrono::duration_cast<milliseconds>(Agora() - inicio);
        if (restante <= milliseconds::zero()) return;
        // A step of 0 (or less) would spin; one longer than what is left overshoots.
        Dormir(std::clamp(passo, milliseconds(1), restante));
    }
}

}  // namespace tef
