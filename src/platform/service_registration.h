// Registration of the service with the system's service manager. On Linux that is a systemd
// unit file named after the service; the unit folder is /etc/systemd/system unless the
// environment variable QV_SYSTEMD_UNIT_DIR names another one. On Windows it is the service
// control manager's entry (automatic start, own process) and the service's registry key.
// Errors are raised as std::runtime_error with the file or service concerned and the reason.
#pragma once

#include <string>

namespace platform {

struct ServiceIdentity {
    std::string name;          // unit file stem
    std::string display_name;  // shown until a description is set
    std::string executable;    // full path of the service program
};

// Where the registration goes: the folder of the unit files, or the registry key of the
// services on Windows.
std::string ServiceUnitDir();

// Writes the unit (automatic start with the multi-user target) and enables it; on Windows
// creates the service, started automatically in a process of its own.
void RegisterService(const ServiceIdentity& identity);

// Removes the unit and its enablement; removing an absent service is not an error.
void UnregisterService(const std::string& name);

// Sets the description of a registered service (through the service manager on Windows,
// which keeps it as the registry value "Description"). False when the service is not
// registered or cannot be opened for the change.
bool SetServiceDescription(const std::string& name, const std::string& description);

}  // namespace platform
