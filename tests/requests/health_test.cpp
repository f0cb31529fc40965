#include "requests/health.h"

#include <gtest/gtest.h>

#include "support/scoped_env.h"

namespace {

TEST(HealthReply, WritesEveryFieldInOrderAndNullsWhatIsUnknown) {
    requests::THealthReport report;
    report.version = "1.0.0.1";
    report.uptime_seconds = 42;
    EXPECT_EQ(requests::HealthReply(report),
              R"({"type":"health","version":"1.0.0.1","uptime_seconds":42,)"
              R"("library":{"loaded":false,"version":null},"operation_running":false,)"
              R"("pending_transactions":0,"print_queue":null,"connections":0,"last_error":null})");

    report.library_loaded = true;
    report.library_version = "7.0.117.52";
    report.operation_running = true;
    report.pending_transactions = 2;
    report.print_queue = 3;
    report.connections = 4;
    report.last_error = service::TLastError::Entry{{2025, 11, 26, 15, 48, 41, 120},
                                                   "Erro na conversão do arquivo: x/y"};
    // Times go out as UTC, like every time the service sends.
    qvtest::ScopedEnv brasilia("TZ", "America/Sao_Paulo");
    EXPECT_EQ(requests::HealthReply(report),
              R"({"type":"health","version":"1.0.0.1","uptime_seconds":42,)"
              R"("library":{"loaded":true,"version":"7.0.117.52"},"operation_running":true,)"
              R"("pending_transactions":2,"print_queue":3,"connections":4,)"
              R"("last_error":{"time":"2025-11-26T18:48:41.120Z",)"
              R"("message":"Erro na convers\u00E3o do arquivo: x\/y"}})");
}

}  // namespace
