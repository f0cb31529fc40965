#include "tef/resp_clisitef.h"

#include <algorithm>

#include "platform/code_page.h"
#include "tef/ansi_text.h"

namespace tef {
namespace {

// Sequences are written with three digits, so no field has more than 999 of them.
constexpr int kUltimaSequencia = 999;

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool StartsEscape(std::string_view text, size_t i) {
    return text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'x';
}

// Lines of a receipt image: a line break is LF, CR LF or CR; a break at the end adds no
// empty line.
TextLines ReceiptLines(const std::string& text) {
    TextLines lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

TKaCliSiTefInformacao Unescaped(const TKaCliSiTefInformacao& stored) {
    TKaCliSiTefInformacao informacao;
    informacao.SetAsString(UnescapeRecordValue(stored.AsString()));
    return informacao;
}

void AplicaModalidade(TKaCliSiTefResp& r, const std::string& modalidade) {
    r.ModalidadePagto = modalidade;
    std::string_view grupo = std::string_view(modalidade).substr(0, 2);
    if (grupo == "01") r.Debito = true;
    if (grupo == "02") r.Credito = true;
    std::string_view plano = modalidade.size() > 2 ? std::string_view(modalidade).substr(2, 2) : "";
    if (plano == "02") r.ParceladoPor = parcLoja;
    if (plano == "03") r.ParceladoPor = parcADM;
    r.TipoOperacao = plano == "00"                    ? opAvista
                     : plano == "01"                  ? opPreDatado
                     : plano == "02" || plano == "03" ? opParcelado
                                                      : opOutras;
}

}  // namespace

AnsiString EscapeRecordValue(std::string_view value) {
    AnsiString out;
    for (size_t i = 0; i < value.size(); ++i) {
        auto byte = static_cast<unsigned char>(value[i]);
        if (byte < 32 || byte >= 128 || StartsEscape(value, i)) {
            out += "\\x";
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0x0F];
        } else {
            out += value[i];
        }
    }
    return out;
}

AnsiString UnescapeRecordValue(std::string_view value) {
    AnsiString out;
    size_t i = 0;
    while (i < value.size()) {
        if (!StartsEscape(value, i)) {
            out += value[i++];
            continue;
        }
        std::string_view pair = value.substr(i + 2, 2);
        bool hex = pair.size() == 2 && HexValue(pair[0]) >= 0 && HexValue(pair[1]) >= 0;
        out += hex ? static_cast<char>(HexValue(pair[0]) * 16 + HexValue(pair[1])) : ' ';
        i += 2 + pair.size();
    }
    return out;
}

void TKaCliSiTefRespCliSiTef::GravaInformacao(int Identificacao, const AnsiString& Informacao) {
    int sequencia = 0;
    if (Identificacao == 141 || Identificacao == 142) {
        sequencia = 1;
        while (sequencia < kUltimaSequencia &&
               !Conteudo.LeInformacao(Identificacao, sequencia).AsString().empty()) {
            ++sequencia;
        }
    }
    if (Identificacao == 121 || Identificacao == 122) MsgImpressao = true;
    Conteudo.GravaInformacao(Identificacao, sequencia, EscapeRecordValue(Informacao));
}

// One field being read: its key and its unescaped value.
struct TKaCliSiTefRespCliSiTef::Campo {
    int identificacao = 0;
    int sequencia = 0;
    TKaCliSiTefInformacao informacao;  // Windows-1252
    std::string texto;                 // the same value in UTF-8
};

struct TKaCliSiTefRespCliSiTef::Leitura {
    bool parcelas = false;  // a 141 field announces instalments
};

void TKaCliSiTefRespCliSiTef::ConteudoToProperty() {
    ValorTotal = 0;
    ImagemComprovante1aVia.clear();
    ImagemComprovante2aVia.clear();
    Debito = false;
    Credito = false;
    Leitura leitura;
    for (const AnsiString& texto : Conteudo.Conteudo()) {
        TKaCliSiTefLinha linha;
        linha.SetLinha(texto);
        Campo campo{linha.Identificacao(), linha.Sequencia(), Unescaped(linha.Informacao()), ""};
        campo.texto = platform::Cp1252ToUtf8(campo.informacao.AsString());
        AplicaCampo(campo, leitura);
    }
    QtdLinhasComprovante = static_cast<int32_t>(
        std::max(ImagemComprovante1aVia.size(), ImagemComprovante2aVia.size()));
    Parcelas.clear();
    if (leitura.parcelas) PreencheParcelas();
}

void TKaCliSiTefRespCliSiTef::AplicaCampo(const Campo& campo, Leitura& leitura) {
    using R = TKaCliSiTefRespCliSiTef;
    using Regra = void (*)(R&, const Campo&, Leitura&);
    struct Entrada {
        int identificacao;
        Regra regra;
    };
    // The field each identifier fills; the sequence counts only for 899.
    static constexpr Entrada kCampos[] = {
        {100, [](R& r, const Campo& c, Leitura&) { AplicaModalidade(r, c.texto); }},
        {101, [](R& r, const Campo& c, Leitura&) { r.ModalidadeExtenso = c.texto; }},
        {102, [](R& r, const Campo& c, Leitura&) { r.ModalidadePagtoDescrita = c.texto; }},
        {105,
         [](R& r, const Campo& c, Leitura&) {
             r.DataHoraTransacaoComprovante = c.informacao.AsTimeStampSQL();
             r.DataHoraTransacaoHost = r.DataHoraTransacaoComprovante;
             r.DataHoraTransacaoLocal = r.DataHoraTransacaoComprovante;
         }},
        {120, [](R& r, const Campo& c, Leitura&) { r.Autenticacao = c.texto; }},
        {121, [](R& r, const Campo& c, Leitura&) { r.ImagemComprovante1aVia = ReceiptLines(c.texto); }},
        {122, [](R& r, const Campo& c, Leitura&) { r.ImagemComprovante2aVia = ReceiptLines(c.texto); }},
        {130,
         [](R& r, const Campo& c, Leitura&) {
             r.Saque = c.informacao.AsMoney();
             r.ValorTotal += r.Saque;
         }},
        {131, [](R& r, const Campo& c, Leitura&) { r.Instituicao = c.texto; }},
        {132, [](R& r, const Campo& c, Leitura&) { r.Bandeira = c.texto; }},
        {133, [](R& r, const Campo& c, Leitura&) { r.NSU = c.texto; }},
        {134, [](R& r, const Campo& c, Leitura&) { r.NSUComprovante = c.texto; }},
        {135, [](R& r, const Campo& c, Leitura&) { r.CodigoAutorizacaoTransacao = c.texto; }},
        {139, [](R& r, const Campo& c, Leitura&) { r.ValorEntradaCDC = c.informacao.AsMoney(); }},
        {140, [](R& r, const Campo& c, Leitura&) { r.DataEntradaCDC = c.informacao.AsDate(); }},
        {141, [](R&, const Campo&, Leitura& l) { l.parcelas = true; }},
        {156, [](R& r, const Campo& c, Leitura&) { r.Rede = c.texto; }},
        {157, [](R& r, const Campo& c, Leitura&) { r.CodigoEstabelecimento = c.texto; }},
        {501,
         [](R& r, const Campo& c, Leitura&) {
             r.TipoPessoa = c.informacao.AsInteger() != 0 ? 'F' : 'J';
         }},
        {502, [](R& r, const Campo& c, Leitura&) { r.DocumentoPessoa = c.texto; }},
        {505, [](R& r, const Campo& c, Leitura&) { r.QtdParcelas = c.informacao.AsInteger(); }},
        {506, [](R& r, const Campo& c, Leitura&) { r.DataPreDatado = c.informacao.AsDate(); }},
        {511, [](R& r, const Campo& c, Leitura&) { r.QtdParcelas = c.informacao.AsInteger(); }},
        {515,
         [](R& r, const Campo& c, Leitura&) {
             r.DataHoraTransacaoCancelada = c.informacao.AsDate();
         }},
        {516, [](R& r, const Campo& c, Leitura&) { r.NSUTransacaoCancelada = c.texto; }},
        {527, [](R& r, const Campo& c, Leitura&) { r.DataVencimento = c.informacao.AsDate(); }},
        {613,
         [](R& r, const Campo& c, Leitura&) {
             r.CMC7 = c.texto;
             const AnsiString& cmc7 = c.informacao.AsString();
             r.Cheque = cmc7.size() > 20 ? platform::Cp1252ToUtf8(cmc7.substr(20, 6)) : "";
         }},
        {626, [](R& r, const Campo& c, Leitura&) { r.Banco = c.texto; }},
        {627, [](R& r, const Campo& c, Leitura&) { r.Agencia = c.texto; }},
        {628, [](R& r, const Campo& c, Leitura&) { r.AgenciaDC = c.texto; }},
        {629, [](R& r, const Campo& c, Leitura&) { r.Conta = c.texto; }},
        {630, [](R& r, const Campo& c, Leitura&) { r.ContaDC = c.texto; }},
        {800, [](R& r, const Campo& c, Leitura&) { r.CodigoHASH = c.texto; }},
        {899,
         [](R& r, const Campo& c, Leitura&) {
             switch (c.sequencia) {
                 case 1: r.fpCNFEnviado = UpperCaseAnsi(c.informacao.AsString()) == "S"; break;
                 case 2: r.fpIndiceFPG_ECF = c.texto; break;
                 case 3: r.fpOrdemPagamento = c.informacao.AsInteger(); break;
                 case 100: r.Header = c.texto; break;
                 case 101: r.ID = c.informacao.AsInteger(); break;
                 case 102: r.DocumentoVinculado = c.texto; break;
                 case 103: r.ValorTotal += c.informacao.AsMoney(); break;
                 case 104: r.InicioFuncao = c.texto; break;
                 default: break;
             }
         }},
        {2021, [](R& r, const Campo& c, Leitura&) { r.NumeroCartao = c.texto; }},
        {4029,
         [](R& r, const Campo& c, Leitura&) {
             r.Desconto = c.informacao.AsMoney();
             r.ValorTotal -= r.Desconto;
         }},
    };
    auto entrada = std::find_if(std::begin(kCampos), std::end(kCampos), [&campo](const Entrada& e) {
        return e.identificacao == campo.identificacao;
    });
    if (entrada != std::end(kCampos)) entrada->regra(*this, campo, leitura);
}

void TKaCliSiTefRespCliSiTef::PreencheParcelas() {
    int quantidade = std::min(QtdParcelas, kUltimaSequencia);
    for (int n = 1; n <= quantidade; ++n) {
        TKaCliSiTefRespParcela parcela;
        parcela.Vencimento = Unescaped(Conteudo.LeInformacao(141, n)).AsDate();
        parcela.Valor = Unescaped(Conteudo.LeInformacao(142, n)).AsMoney();
        Parcelas.push_back(parcela);
    }
}

}  // namespace tef
