// Runs a step when the scope it was declared in ends, however it ends (return or exception):
// the end steps an operation owes whatever happened in it.
//
//     ScopeExit restore([&] { busy = false; });
//
// The step runs in a destructor, so it must not raise (catch inside it when it might).
#pragma once

#include <utility>

namespace platform {

template <class Step>
class [[nodiscard]] ScopeExit {
public:
    explicit ScopeExit(Step step) : step_(std::move(step)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() { step_(); }

private:
    Step step_;
};

}  // namespace platform
