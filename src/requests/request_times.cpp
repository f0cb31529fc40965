#include "requests/request_times.h"

#include "platform/environment.h"

namespace requests {

TRequestTimes TRequestTimes::FromEnvironment() {
    TRequestTimes product;
    TRequestTimes times;
    times.answer_timeout =
        platform::EnvMilliseconds("QV_ANSWER_TIMEOUT_MS", product.answer_timeout);
    times.highlight_time = platform::EnvMilliseconds("QV_HIGHLIGHT_MS", product.highlight_time);
    times.highlight_step =
        platform::EnvMilliseconds("QV_HIGHLIGHT_STEP_MS", product.highlight_step);
    times.session_lifetime =
        platform::EnvMilliseconds("QV_SESSION_LIFETIME_MS", product.session_lifetime);
    return times;
}

}  // namespace requests
