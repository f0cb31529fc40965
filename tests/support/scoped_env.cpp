#include "support/scoped_env.h"

#include "platform/environment.h"

namespace qvtest {
namespace {

void Apply(const std::string& name, const char* value) {
    if (value == nullptr) {
        platform::UnsetEnv(name.c_str());
    } else {
        platform::SetEnvText(name.c_str(), value);
    }
}

}  // namespace

void ScopedEnv::Set(const std::string& name, const char* value) {
    const bool had_value = platform::EnvIsSet(name.c_str());
    previous_.push_back({name, had_value, platform::EnvText(name.c_str())});
    Apply(name, value);
}

ScopedEnv::~ScopedEnv() {
    for (auto it = previous_.rbegin(); it != previous_.rend(); ++it) {
        Apply(it->name, it->had_value ? it->value.c_str() : nullptr);
    }
}

}  // namespace qvtest
