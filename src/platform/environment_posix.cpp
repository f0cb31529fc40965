#include <stdlib.h>
#include <time.h>

#include "platform/environment.h"

namespace platform {

std::string EnvText(const char* name) {
    const char* text = ::getenv(name);
    return text == nullptr ? std::string() : std::string(text);
}

bool EnvIsSet(const char* name) { return ::getenv(name) != nullptr; }

void SetEnvText(const char* name, const std::string& value) {
    ::setenv(name, value.c_str(), 1);
    ::tzset();
}

void UnsetEnv(const char* name) {
    ::unsetenv(name);
    ::tzset();
}

}  // namespace platform
