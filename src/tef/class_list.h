// The component's engines, in the order they were added. The list owns them.
#pragma once

#include <memory>
#include <vector>

#include "tef/class.h"

namespace tef {

class TKaCliSiTefClassList {
public:
    int Count() const { return static_cast<int>(fItens.size()); }

    // 0 <= index < Count.
    TKaCliSiTefClass& Objects(int index) const;
    // Replaces (and frees) the engine at `index`.
    void SetObject(int index, std::unique_ptr<TKaCliSiTefClass> engine);

    // Appends `engine` (not null) and returns it.
    TKaCliSiTefClass& Add(std::unique_ptr<TKaCliSiTefClass> engine);

    // The first engine of kind `tipo`, or null.
    TKaCliSiTefClass* Find(TKaCliSiTefTipo tipo) const;

private:
    size_t Index(int index) const;

    std::vector<std::unique_ptr<TKaCliSiTefClass>> fItens;
};

}  // namespace tef
