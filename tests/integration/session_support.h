// Helpers of the tests that open sessions on the real service (beside client_messages.h): plain
// claims, and a transaction left from an earlier run, which makes the payment library's start
// at the first session start wait for its client's acknowledgement.
#pragma once

#include <string>

#include "client_messages.h"
#include "support/dialogue_client.h"

namespace qvtest {

// Claims of a session the simulated library accepts (direct mode, point-of-sale fields filled),
// with `sale_id` as its JSON text and the members `extra` (JSON text, may be empty) at the end.
std::string SessionClaims(const std::string& sale_id = "1", const std::string& extra = "");

// Opens a session for `claims` on `client` and expects it created; its identifier.
std::string OpenSession(DialogueClient& client, const Claims& claims = {});

// Writes the backup file of an approved, unconfirmed payment (document 4242, NSU 000777) into
// `app_folder`/TEF.
void WriteLeftoverTransaction(const std::string& app_folder);

}  // namespace qvtest
