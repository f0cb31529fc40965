// Environment variables of the test process set for a while: every change is undone, in
// reverse order, when the object goes away (also when a test fails). Changes of TZ take
// effect at once.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

class ScopedEnv {
public:
    ScopedEnv() = default;
    // Sets `name` to `value`, or removes it when `value` is nullptr.
    ScopedEnv(const std::string& name, const char* value) { Set(name, value); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv();

    void Set(const std::string& name, const char* value);
    void Set(const std::string& name, const std::string& value) { Set(name, value.c_str()); }

private:
    struct Previous {
        std::string name;
        bool had_value;
        std::string value;
    };
    std::vector<Previous> previous_;
};

}  // namespace qvtest
