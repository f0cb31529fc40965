#include "tef/identificacao.h"

#include "tef/ansi_text.h"

namespace tef {

void TKaCliSiTefIdentificacao::Store(std::string& field, const std::string& value) {
    field = Trim(value);
}

}  // namespace tef
