// clang-format off
// <wincrypt.h> needs <windows.h> first.
#include "platform/win32.h"
#include <wincrypt.h>
// clang-format on

#include "platform/scope_exit.h"
#include "platform/trusted_roots.h"

namespace platform {
namespace {

constexpr const char* kStoreName = "LocalMachine\\ROOT";

struct Store {
    HCERTSTORE handle = nullptr;
    ~Store() {
        if (handle != nullptr) CertCloseStore(handle, 0);
    }
};

// Opens the store for writing; false (with the failure in `outcome`) when that is refused.
bool OpenRootStore(Store& store, TrustedRootOutcome& outcome) {
    outcome.location = kStoreName;
    store.handle =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                      CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_OPEN_EXISTING_FLAG, L"ROOT");
    if (store.handle != nullptr) return true;
    outcome.status = win32::Failure(GetLastError(), "open certificate store", kStoreName);
    return false;
}

const BYTE* Bytes(std::string_view der) { return reinterpret_cast<const BYTE*>(der.data()); }

}  // namespace

TrustedRootOutcome AddTrustedRoot(std::string_view der, const std::string& friendly_name) {
    TrustedRootOutcome outcome;
    Store store;
    if (!OpenRootStore(store, outcome)) return outcome;
    PCCERT_CONTEXT added = nullptr;
    if (!CertAddEncodedCertificateToStore(store.handle, X509_ASN_ENCODING, Bytes(der),
                                          static_cast<DWORD>(der.size()), CERT_STORE_ADD_NEW,
                                          &added)) {
        const DWORD error = GetLastError();
        if (error != static_cast<DWORD>(CRYPT_E_EXISTS))
            outcome.status = win32::Failure(error, "add certificate to", kStoreName);
        return outcome;
    }
    const ScopeExit free_added([added] { CertFreeCertificateContext(added); });
    outcome.changed = true;
    // The name the certificate manager lists it under; the certificate is trusted without it.
    std::wstring name = win32::Wide(friendly_name);
    CRYPT_DATA_BLOB blob{static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)),
                         reinterpret_cast<BYTE*>(name.data())};
    CertSetCertificateContextProperty(added, CERT_FRIENDLY_NAME_PROP_ID, 0, &blob);
    return outcome;
}

TrustedRootOutcome RemoveTrustedRoot(std::string_view der) {
    TrustedRootOutcome outcome;
    Store store;
    if (!OpenRootStore(store, outcome)) return outcome;
    PCCERT_CONTEXT wanted =
        CertCreateCertificateContext(X509_ASN_ENCODING, Bytes(der), static_cast<DWORD>(der.size()));
    if (wanted == nullptr) {
        outcome.status = win32::Failure(GetLastError(), "read certificate for", kStoreName);
        return outcome;
    }
    const ScopeExit free_wanted([wanted] { CertFreeCertificateContext(wanted); });
    PCCERT_CONTEXT found = CertFindCertificateInStore(store.handle, X509_ASN_ENCODING, 0,
                                                      CERT_FIND_EXISTING, wanted, nullptr);
    if (found == nullptr) return outcome;
    // Frees `found` whether or not it succeeds.
    if (!CertDeleteCertificateFromStore(found)) {
        outcome.status = win32::Failure(GetLastError(), "remove certificate from", kStoreName);
        return outcome;
    }
    outcome.changed = true;
    return outcome;
}

}  // namespace platform
