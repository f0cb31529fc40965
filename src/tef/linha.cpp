#include "tef/linha.h"

#include <algorithm>
#include <limits>

#include "tef/ansi_text.h"

namespace tef {
namespace {

constexpr std::string_view kSeparator = " = ";

// Integer of a key part; unreadable or beyond 16 bits reads as 0.
int16_t KeyPart(std::string_view text) {
    int32_t value = StrToIntDef(text, 0);
    bool fits = value >= std::numeric_limits<int16_t>::min() &&
                value <= std::numeric_limits<int16_t>::max();
    return fits ? static_cast<int16_t>(value) : 0;
}

// Position of " = " in the line with a blank appended, or npos.
size_t SeparatorPosition(std::string_view linha) {
    size_t pos = linha.find(kSeparator);
    if (pos != std::string_view::npos) return pos;
    bool ends_with_equals = linha.size() >= 2 && linha.substr(linha.size() - 2) == " =";
    return ends_with_equals ? linha.size() - 2 : std::string_view::npos;
}

}  // namespace

AnsiString MakeKey(int identificacao, int sequencia) {
    return ZeroPadded(identificacao, 3) + "-" + ZeroPadded(sequencia, 3).substr(0, 3);
}

std::string_view KeyOfLine(std::string_view linha) {
    size_t pos = SeparatorPosition(linha);
    return pos == std::string_view::npos ? std::string_view() : linha.substr(0, pos);
}

AnsiString TKaCliSiTefLinha::GetLinha() const {
    if (!fLinha.empty()) return fLinha;
    return MakeKey(fIdentificacao, fSequencia) + std::string(kSeparator) +
           fKaCliSiTefLinhaInformacao.AsString();
}

void TKaCliSiTefLinha::SetLinha(const AnsiString& value) {
    if (value == fLinha) return;
    fLinha = value;
    size_t pos = SeparatorPosition(value);
    if (pos == std::string_view::npos) {
        fKaCliSiTefLinhaInformacao.SetAsString("");
        fIdentificacao = 0;
        fSequencia = 0;
        return;
    }
    std::string_view key = std::string_view(value).substr(0, pos);
    size_t value_start = std::min(pos + kSeparator.size(), value.size());
    fKaCliSiTefLinhaInformacao.SetAsString(value.substr(value_start));
    // The dash is taken at position 3 at least, so a key without one (or with a short
    // identifier) is cut after three characters.
    size_t found = key.find('-');
    size_t dash = found == std::string_view::npos ? 3 : std::max<size_t>(found, 3);
    fIdentificacao = KeyPart(key.substr(0, dash));
    fSequencia = dash < key.size() ? KeyPart(key.substr(dash + 1, 3)) : 0;
}

AnsiString TKaCliSiTefLinha::Chave() const {
    if (fLinha.empty()) return fIdentificacao != 0 ? MakeKey(fIdentificacao, fSequencia) : "";
    return AnsiString(KeyOfLine(fLinha));
}

}  // namespace tef
