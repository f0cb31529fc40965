#include "tef/class_list.h"

#include <stdexcept>

namespace tef {

size_t TKaCliSiTefClassList::Index(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("TKaCliSiTefClassList: índice fora da lista");
    return static_cast<size_t>(index);
}

TKaCliSiTefClass& TKaCliSiTefClassList::Objects(int index) const { return *fItens[Index(index)]; }

void TKaCliSiTefClassList::SetObject(int index, std::unique_ptr<TKaCliSiTefClass> engine) {
    if (!engine) throw std::invalid_argument("TKaCliSiTefClassList: gerenciador nulo");
    fItens[Index(index)] = std::move(engine);
}

TKaCliSiTefClass& TKaCliSiTefClassList::Add(std::unique_ptr<TKaCliSiTefClass> engine) {
    if (!engine) throw std::invalid_argument("TKaCliSiTefClassList: gerenciador nulo");
    fItens.push_back(std::move(engine));
    return *fItens.back();
}

TKaCliSiTefClass* TKaCliSiTefClassList::Find(TKaCliSiTefTipo tipo) const {
    for (const auto& engine : fItens) {
        if (engine->Tipo() == tipo) return engine.get();
    }
    return nullptr;
}

}  // namespace tef
