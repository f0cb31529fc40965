#include "support/scoped_env.h"

#include <stdlib.h>
#include <time.h>

namespace qvtest {
namespace {

void Apply(const std::string& name, const char* value) {
    if (value == nullptr) {
        ::unsetenv(name.c_str());
    } else {
        ::setenv(name.c_str(), value, 1);
    }
    ::tzset();
}

}  // namespace

void ScopedEnv::Set(const std::string& name, const char* value) {
    const char* old = ::getenv(name.c_str());
    previous_.push_back({name, old != nullptr, old ? old : ""});
    Apply(name, value);
}

ScopedEnv::~ScopedEnv() {
    for (auto it = previous_.rbegin(); it != previous_.rend(); ++it) {
        Apply(it->name, it->had_value ? it->value.c_str() : nullptr);
    }
}

}  // namespace qvtest
