// The payment library (libclisitef.so) loaded at run time, with its twelve exports as typed
// entry points. Only the CliSiTef engine uses it, from one thread at a time; IsLoaded alone
// may be asked from any thread.
#pragma once

#include <atomic>
#include <string>

#include "platform/dynamic_library.h"
#include "tef/clisitef_abi.h"

namespace tef {

// The library's exports; each is null until resolved.
struct TCliSiTefEntryPoints {
    ConfiguraIntSiTefInterativoExFn ConfiguraIntSiTefInterativoEx = nullptr;
    IniciaFuncaoSiTefInterativoFn IniciaFuncaoSiTefInterativo = nullptr;
    LeTrilha3Fn LeTrilha3 = nullptr;
    LeCartaoSeguroFn LeCartaoSeguro = nullptr;
    LeCartaoDiretoSeguroFn LeCartaoDiretoSeguro = nullptr;
    LeCartaoDiretoExFn LeCartaoDiretoEx = nullptr;
    ContinuaFuncaoSiTefInterativoFn ContinuaFuncaoSiTefInterativo = nullptr;
    FinalizaFuncaoSiTefInterativoFn FinalizaFuncaoSiTefInterativo = nullptr;
    FinalizaTransacaoSiTefInterativoFn FinalizaTransacaoSiTefInterativo = nullptr;
    EscreveMensagemPermanentePinPadFn EscreveMensagemPermanentePinPad = nullptr;
    ObtemQuantidadeTransacoesPendentesFn ObtemQuantidadeTransacoesPendentes = nullptr;
    VerificaPresencaPinPadFn VerificaPresencaPinPad = nullptr;
};

class TCliSiTefLibrary {
public:
    // Loads the library from `folder` (trimmed; a separator is appended when missing; empty
    // leaves the search to the platform) unless it is already loaded, then resolves every
    // entry point not yet resolved, in the table's order. The first one that cannot be had
    // raises EKaCliSiTef "Erro ao carregar a função:<export> de: libclisitef.so"; the entry
    // points resolved before it stay until Release.
    void Load(const std::string& folder);

    // Unloads the library and forgets every entry point.
    void Release() noexcept;

    // Any thread may ask (a health report while an operation runs).
    bool IsLoaded() const { return loaded_; }

    // Full path (or bare name) the library was loaded from; empty when not loaded.
    const std::string& Path() const { return path_; }

    // Why the last Load could not load the library, as the dynamic loader put it (naming the
    // file); empty when it loaded or was loaded already.
    const std::string& LoadFailure() const { return load_failure_; }

    // Valid while the library stays loaded.
    const TCliSiTefEntryPoints& EntryPoints() const { return entry_points_; }

private:
    template <typename Fn>
    void Resolve(Fn& entry_point, const char* name);

    platform::DynamicLibrary library_;
    std::atomic<bool> loaded_{false};  // mirrors library_.IsOpen()
    std::string path_;
    std::string load_failure_;
    TCliSiTefEntryPoints entry_points_;
};

}  // namespace tef
