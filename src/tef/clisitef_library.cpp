#include "tef/clisitef_library.h"

#include "platform/paths.h"
#include "tef/ansi_text.h"
#include "tef/errors.h"

namespace tef {

void TCliSiTefLibrary::Load(const std::string& folder) {
    load_failure_.clear();
    if (!library_.IsOpen()) {
        std::string path = platform::IncludeTrailingSeparator(Trim(folder)) + kCliSiTefLibraryName;
        if (library_.Open(path)) {
            path_ = path;
        } else {
            load_failure_ = library_.LastError();
        }
        loaded_ = library_.IsOpen();
    }
    // Resolution runs even when the library did not load, so that the error names the first
    // export still missing, as it does for a library that lacks one.
    auto& e = entry_points_;
    Resolve(e.ConfiguraIntSiTefInterativoEx, "ConfiguraIntSiTefInterativoEx");
    Resolve(e.IniciaFuncaoSiTefInterativo, "IniciaFuncaoSiTefInterativo");
    Resolve(e.LeTrilha3, "LeTrilha3");
    Resolve(e.LeCartaoSeguro, "LeCartaoSeguro");
    Resolve(e.LeCartaoDiretoSeguro, "LeCartaoDiretoSeguro");
    Resolve(e.LeCartaoDiretoEx, "LeCartaoDiretoEx");
    Resolve(e.ContinuaFuncaoSiTefInterativo, "ContinuaFuncaoSiTefInterativo");
    Resolve(e.FinalizaFuncaoSiTefInterativo, "FinalizaFuncaoSiTefInterativo");
    Resolve(e.FinalizaTransacaoSiTefInterativo, "FinalizaTransacaoSiTefInterativo");
    Resolve(e.EscreveMensagemPermanentePinPad, "EscreveMensagemPermanentePinPad");
    Resolve(e.ObtemQuantidadeTransacoesPendentes, "ObtemQuantidadeTransacoesPendentes");
    Resolve(e.VerificaPresencaPinPad, "VerificaPresencaPinPad");
}

void TCliSiTefLibrary::Release() noexcept {
    entry_points_ = {};
    library_.Close();
    loaded_ = false;
    path_.clear();
    load_failure_.clear();
}

template <typename Fn>
void TCliSiTefLibrary::Resolve(Fn& entry_point, const char* name) {
    if (entry_point != nullptr) return;
    entry_point = reinterpret_cast<Fn>(library_.Symbol(name));
    if (entry_point == nullptr) {
        throw EKaCliSiTef(std::string("Erro ao carregar a função:") + name +
                          " de: " + kCliSiTefLibraryName);
    }
}

}  // namespace tef
