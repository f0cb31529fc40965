// The clock of the component's waits: a monotonic "now" and a sleep. The component starts with
// the steady clock and real sleeps; a test puts in its own pair, so that no test sleeps.
// Not thread-safe; used by the operation that runs.
#pragma once

#include <chrono>
#include <functional>

namespace tef {

struct TRelogio {
    using Instante = std::chrono::steady_clock::time_point;

    std::function<Instante()> Agora;
    std::function<void(std::chrono::milliseconds)> Dormir;

    // The steady clock and std::this_thread::sleep_for.
    static TRelogio Sistema();

    // Returns once `minimo` has passed since `inicio`, sleeping `passo` between checks (at
    // least 1 ms, never longer than what is left).
    void AguardarDesde(Instante inicio, std::chrono::milliseconds minimo,
                       std::chrono::milliseconds passo) const;
};

}  // namespace tef
