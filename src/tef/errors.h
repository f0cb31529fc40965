// The error kinds of the TEF component. Each carries its message (UTF-8); hosts catch
// EKaCliSiTef to turn any of them into a reply, and a caller that must react to one kind
// (fiscal-printer failures offer a retry) catches that kind alone.
#pragma once

#include <stdexcept>
#include <string>

namespace tef {

// The plain error: most checks of the component, its engine and its library binding.
class EKaCliSiTef : public std::runtime_error {
public:
    explicit EKaCliSiTef(const std::string& message) : std::runtime_error(message) {}
};

// The component's general failures (engine start-up, missing request, owner check).
class EKaCliSiTefErro : public EKaCliSiTef {
public:
    using EKaCliSiTef::EKaCliSiTef;
};

// A fiscal-printer command the host did not handle.
class EKaCliSiTefECF : public EKaCliSiTef {
public:
    using EKaCliSiTef::EKaCliSiTef;
};

// A record file that is missing, cannot be written, or a backup file that cannot be deleted.
class EKaCliSiTefArquivo : public EKaCliSiTef {
public:
    using EKaCliSiTef::EKaCliSiTef;
};

}  // namespace tef
