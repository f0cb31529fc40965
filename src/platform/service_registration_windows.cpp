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
    // Through the manager, which stores it as the "Description" value of the service's key:
    // a manager that keeps its own copy of the services' settings (Wine's reads them once,
    // at its start) would not see a value written into the registry behind its back.
    ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return false;
    ServiceHandle service(::OpenServiceW(manager.get(), Wide(name).c_str(), SERVICE_CHANGE_CONFIG));
    if (!service) return false;
    std::wstring text = Wide(description);
    SERVICE_DESCRIPTIONW value{text.data()};
    return ::ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &value);
}

}  // namespace platform
