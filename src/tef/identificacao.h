// Identification of the point-of-sale application (name, version, software house, company
// name). Each value is stored trimmed; only an engine that exchanges request files reads them.
#pragma once

#include <string>

namespace tef {

class TKaCliSiTefIdentificacao {
public:
    const std::string& NomeAplicacao() const { return fNomeAplicacao; }
    void SetNomeAplicacao(const std::string& value) { Store(fNomeAplicacao, value); }
    const std::string& VersaoAplicacao() const { return fVersaoAplicacao; }
    void SetVersaoAplicacao(const std::string& value) { Store(fVersaoAplicacao, value); }
    const std::string& SoftwareHouse() const { return fSoftwareHouse; }
    void SetSoftwareHouse(const std::string& value) { Store(fSoftwareHouse, value); }
    const std::string& RazaoSocial() const { return fRazaoSocial; }
    void SetRazaoSocial(const std::string& value) { Store(fRazaoSocial, value); }

private:
    static void Store(std::string& field, const std::string& value);

    std::string fNomeAplicacao, fVersaoAplicacao, fSoftwareHouse, fRazaoSocial;
};

}  // namespace tef
