// One run of the CliSiTef engine's interactive dialogue: the loop that calls
// ContinuaFuncaoSiTefInterativo until the library ends the function, carries out each command
// it hands back (mostly by raising one of the component's events), stores every value the
// library returns in the engine's response record and passes the answer into the next call.
//
// Commands and field types are dispatched through tables of small actions. The end steps
// (trace the record, derive its properties, clear AguardandoResposta) run also when an event
// handler raises; the error then reaches the caller and the library is not called again.
//
// What the operator typed is written to the trace and kept in the record masked by its field
// type (card_data/card_mask.h), and wiped from the answer area and the answers once sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tef/clisitef_abi.h"
#include "tef/types.h"

namespace tef {

class TKaCliSiTef;
class TKaCliSiTefCliSiTef;
class TKaCliSiTefRespCliSiTef;

class TCliSiTefDialogo {
public:
    // What the operator typed in for the function (`QtdParcela` "0" and the rest empty when
    // nothing), and whether a track-3 read started it.
    struct Argumentos {
        bool Trilha3 = false;
        AnsiString QtdParcela, CVV, DataVencimento, NumeroCartao;
    };

    TCliSiTefDialogo(TKaCliSiTefCliSiTef& engine, ContinuaFuncaoSiTefInterativoFn continua,
                     Argumentos argumentos);
    // Wipes the answer area and every answer it kept.
    ~TCliSiTefDialogo();
    TCliSiTefDialogo(const TCliSiTefDialogo&) = delete;
    TCliSiTefDialogo& operator=(const TCliSiTefDialogo&) = delete;

    // Runs the dialogue to its end; the final status (0 approved).
    int32_t Executar();

    // '@' and then "/n" become line breaks (CR LF).
    static AnsiString FormatarMensagem(const AnsiString& texto);
    // An amount typed by the operator ("," or "." as separator; unreadable text is 0) with two
    // decimals and a comma.
    static AnsiString NormalizarValor(const AnsiString& texto);

private:
    using Acao = void (TCliSiTefDialogo::*)();
    struct AcaoComando {
        int32_t comando;
        Acao acao;
    };
    struct AcaoTipoCampo {
        int32_t tipoCampo;
        Acao acao;
    };
    struct CopiaSeVazio {
        int32_t tipoCampo;
        std::string TKaCliSiTef::*campo;
    };
    static const AcaoComando kComandos[];
    static const AcaoTipoCampo kAcoesTipoCampo[];
    static const CopiaSeVazio kCopiasSeVazio[];

    void Iniciar();
    void Encerrar() noexcept;
    bool Passo();
    void Chamar();
    void ExecutarComando();
    // Wipes what is left of the answer sent in the area past the `dados` bytes of data the
    // library wrote over it.
    void LimparRestosDaResposta(size_t dados);
    void AposPasso();
    void LerTrilha();

    // Commands.
    void Armazenar();
    void ExibirMsgOperador();
    void ExibirMsgCliente();
    void ExibirMsgAmbos();
    void DefinirTitulo();
    void RemoverMsgOperador();
    void RemoverMsgCliente();
    void RemoverMsgs();
    void LimparTitulo();
    void Pergunta();
    void Menu();
    void Aviso();
    void AguardaResposta();
    void ObterCampo();
    void ObterCheque();
    void ObterValor();
    void ObterCodigoBarras();
    void ExibirQRCode();
    void ExibirQRCodeOperador();

    // Field types stored with command 0.
    void MarcarVerdadeiro();
    void MarcarReimpressao();
    void MarcarDevolucao();
    void ObterSenha();
    void ExibirMsgArmazenada();
    void CopiarHash();

    // Helpers.
    template <class Event>
    const Event& Handler(const Event& evento, const char* nome);
    void ExibirMsg(TKaCliSiTefOperacaoMensagem operacao, const AnsiString& texto);
    void EventoObtemCampo(TKaCliSiTefCliSiTefOperacaoCampo operacao);
    bool RespostaMenuAutomatica();
    bool RespostaCampoCancelamento();
    void RespostaCampoComum();
    void RespostaParcelas();
    AnsiString Preset(const std::string& tipoCampo) const;
    AnsiString ValorCancelamento() const;
    TKaCliSiTefRespCliSiTef& Resp() const;
    // `resposta`, the answer to the last command, as the trace and the record may hold it:
    // card data and secrets masked.
    AnsiString RespostaParaGravar(const AnsiString& resposta) const;
    void Trace(const AnsiString& texto) const;

    TKaCliSiTefCliSiTef& engine_;
    TKaCliSiTef& component_;
    ContinuaFuncaoSiTefInterativoFn continua_;
    Argumentos args_;

    std::vector<char> buffer_;
    AnsiString Buffer;         // the command's data
    AnsiString resposta_;      // the answer for the next call
    int32_t continuacao_ = 0;  // 0 go on, 1 back, -1 abort
    AnsiString Titulo;
    AnsiString msgOperador_, msgCliente_;
    bool Digitado = true;
    bool VoltarMenu = false;
    int32_t comando_ = 0;
    int32_t tipoCampo_ = 0;
    int16_t tamMinimo_ = 0;
    int16_t tamMaximo_ = 0;
    int32_t status_ = 0;
};

}  // namespace tef
