// The message reader of a connection: everything a client sends after the upgrade (frames of
// every opcode, fragments, control frames, lying lengths, gzip payloads, a close frame and
// what follows it), over a real TLS connection on loopback.
#include <cstdint>

#include "support/loopback_tls.h"
#include "support/require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static qvfuzz::LoopbackTls loopback;
    loopback.Exchange(qvfuzz::AsText(data, size), [](transport::TClientConnection& connection) {
        connection.Data.State = transport::csConnected;
        qvfuzz::ReadAllMessages(connection);
    });
    return 0;
}
