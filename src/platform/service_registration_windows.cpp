#include <stdexcept>
#include <utility>

#include "platform/service_registration.h"
#include "platform/win32.h"

namespace platform {
namespace {

using win32::Wide;

constexpr const char* kServicesKey = "SYSTEM\\CurrentControlSet\\Services\\";

// An open handle of the service control manager or of a service.
class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ServiceHandle(ServiceHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)) {}
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    ~ServiceHandle() {
        if (handle_ != nullptr) ::CloseServiceHandle(handle_);
    }
    explicit operator bool() const { return handle_ != nullptr; }
    SC_HANDLE get() const { return handle_; }

private:
    SC_HANDLE handle_;
};

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + win32::SystemText(::GetLastError()));
}

ServiceHandle OpenManager(DWORD access) {
    ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, access));
    if (!manager) Fail("Não foi possível abrir o gerenciador de serviços");
    return manager;
}

// The command line the manager starts: the program's path, quoted so that a folder with a
// blank in its name is not taken for a program and its arguments.
std::wstring ServiceCommand(const std::string& executable) {
    return L"\"" + Wide(executable) + L"\"";
}

}  // namespace

std::string ServiceUnitDir() { return std::string("HKEY_LOCAL_MACHINE\\") + kServicesKey; }

void RegisterService(const ServiceIdentity& identity) {
    ServiceHandle manager = OpenManager(SC_MANAGER_CREATE_SERVICE);
    ServiceHandle service(::CreateServiceW(
        manager.get(), Wide(identity.name).c_str(), Wide(identity.display_name).c_str(),
        SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
        ServiceCommand(identity.executable).c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service) Fail("Não foi possível instalar o serviço " + identity.name);
}

void UnregisterService(const std::string& name) {
    ServiceHandle manager = OpenManager(SC_MANAGER_CONNECT);
    ServiceHandle service(::OpenServiceW(manager.get(), Wide(name).c_str(), DELETE));
    if (!service) {
        if (::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) return;
        Fail("Não foi possível abrir o serviço " + name);
    }
    if (!::DeleteService(service.get()) && ::GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
        Fail("Não foi possível remover o serviço " + name);
}

bool SetServiceDescription(const std::string& name, const std::string& description) {
    // The service's own key, opened (never created) for writing, as the installer leaves it.
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(kServicesKey + name).c_str(), 0,
                        KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return false;
    const std::wstring text = Wide(description);
    const LSTATUS written = ::RegSetValueExW(
        key, L"Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    return written == ERROR_SUCCESS;
}

}  // namespace platform
