// Helpers of the tests that open sessions on the real service: the start request, reading the
// replies, and a transaction left from an earlier run, which makes the payment library's start
// at the first session start wait for its client's acknowledgement.
#pragma once

#include <string>

namespace qvtest {

// Claims of a session the simulated library accepts (direct mode, point-of-sale fields filled),
// with `sale_id` as its JSON text and the members `extra` (JSON text, may be empty) at the end.
std::string SessionClaims(const std::string& sale_id = "1", const std::string& extra = "");

// {"route":"/session/start","type":"session","token":<token>}
std::string StartRequest(const std::string& token);

// The text of member `key` of the JSON object `json` (as the service's field reader gives it);
// "<none>" when absent, "<not an object>" when `json` is not one.
std::string Field(const std::string& json, const std::string& key);

// The error reply carrying `json_text`, written as the service writes it (escapes and all).
std::string Error(const std::string& json_text);

// Writes the backup file of an approved, unconfirmed payment (document 4242, NSU 000777) into
// `app_folder`/TEF.
void WriteLeftoverTransaction(const std::string& app_folder);

}  // namespace qvtest
