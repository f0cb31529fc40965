#include "platform/browser_policy.h"

namespace platform {

const char* BrowserName(Browser browser) {
    switch (browser) {
        case Browser::kChromium:
            return "Chromium";
        case Browser::kGoogleChrome:
            return "Google Chrome";
        case Browser::kMicrosoftEdge:
            return "Microsoft Edge";
    }
    return "";
}

}  // namespace platform
