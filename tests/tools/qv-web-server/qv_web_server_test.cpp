// qv-web-server run as a program over real TLS: a client that trusts only the folder's CA gets
// the page's files with the types a browser runs them as, and nothing outside the page.
#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "platform/socket.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace {

std::string Tool(const char* name) { return qvtest::BuildDir() + "tools/" + name + "/" + name; }

class WebServer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::ForceDirectories(folder_ / "web/js"));
        ASSERT_TRUE(platform::WriteFile(folder_ / "web/index.html", "<p>caixa</p>\n"));
        ASSERT_TRUE(platform::WriteFile(folder_ / "web/js/app.js", "export const a = 1;\n"));
        ASSERT_TRUE(platform::WriteFile(folder_ / "secret.txt", "outside the page\n"));
        qvtest::ChildProcess certificates(Tool("qv-certificates"),
                                          {"--dir", folder_ / "Certificado"}, {},
                                          folder_ / "certificates.txt");
        ASSERT_EQ(certificates.Wait(std::chrono::seconds(30)), 0);

        server_ = std::make_unique<qvtest::ChildProcess>(
            Tool("qv-web-server"),
            std::vector<std::string>{"--root", folder_ / "web", "--certificates",
                                     folder_ / "Certificado", "--port", "0"},
            std::map<std::string, std::string>{}, folder_ / "server.txt");
        // It says its port once it listens.
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (port_ == 0 && std::chrono::steady_clock::now() < give_up) {
            const std::string said = platform::ReadFile(folder_ / "server.txt").value_or("");
            const size_t colon = said.find("localhost:");
            if (colon != std::string::npos && said.find('\n') != std::string::npos)
                port_ = std::stoi(said.substr(colon + 10));
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_NE(port_, 0) << platform::ReadFile(folder_ / "server.txt").value_or("");
    }

    // Sends `request` over TLS, verifying the server as localhost against the folder's CA;
    // everything the server answered before it closed.
    std::string Fetch(const std::string& request, const std::string& host = "127.0.0.1") {
        std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> ctx(SSL_CTX_new(TLS_client_method()),
                                                              SSL_CTX_free);
        SSL_CTX_load_verify_locations(ctx.get(), (folder_ / "Certificado/ca_cert.pem").c_str(),
                                      nullptr);
        SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
        platform::Socket socket = platform::ConnectTcp(host, static_cast<uint16_t>(port_));
        socket.SetTimeouts(std::chrono::seconds(10));
        std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(ctx.get()), SSL_free);
        SSL_set1_host(ssl.get(), "localhost");
        SSL_set_fd(ssl.get(), static_cast<int>(socket.fd()));
        if (SSL_connect(ssl.get()) != 1) return "<handshake failed>";
        SSL_write(ssl.get(), request.data(), static_cast<int>(request.size()));
        std::string answer;
        char buffer[4096];
        for (int got; (got = SSL_read(ssl.get(), buffer, sizeof buffer)) > 0;)
            answer.append(buffer, static_cast<size_t>(got));
        return answer;
    }

    qvtest::TempFolder folder_;
    std::unique_ptr<qvtest::ChildProcess> server_;
    int port_ = 0;
};

TEST_F(WebServer, ServesThePageAndNothingElse) {
    struct Case {
        const char* request_line;
        const char* starts;
        const char* holds;
    };
    const Case cases[] = {
        {"GET / HTTP/1.1",
         "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
         "Content-Length: 13\r\n",
         "\r\n\r\n<p>caixa</p>\n"},
        {"GET /js/app.js?v=2 HTTP/1.1", "HTTP/1.1 200 OK\r\nContent-Type: text/javascript",
         "export const a = 1;"},
        {"GET /%6As/app.js HTTP/1.1", "HTTP/1.1 200 OK", "export const a = 1;"},
        {"HEAD /index.html HTTP/1.1", "HTTP/1.1 200 OK", "Content-Length: 13\r\n"},
        {"GET /missing.html HTTP/1.1", "HTTP/1.1 404 Not Found", "not found"},
        {"GET /../secret.txt HTTP/1.1", "HTTP/1.1 404", "not found"},
        {"GET /js/%2e%2e/%2e%2e/secret.txt HTTP/1.1", "HTTP/1.1 404", "not found"},
        {"GET /js\\..\\..\\secret.txt HTTP/1.1", "HTTP/1.1 404", "not found"},
        {"GET /%zz HTTP/1.1", "HTTP/1.1 404", "not found"},
        {"POST / HTTP/1.1", "HTTP/1.1 405", "method not allowed"},
        {"nonsense", "HTTP/1.1 400", "bad request"},
    };
    for (const Case& c : cases) {
        const std::string answer =
            Fetch(std::string(c.request_line) + "\r\nHost: localhost\r\n\r\n");
        EXPECT_EQ(answer.rfind(c.starts, 0), 0u) << c.request_line << "\n" << answer;
        EXPECT_NE(answer.find(c.holds), std::string::npos) << c.request_line << "\n" << answer;
    }
    EXPECT_EQ(Fetch("HEAD / HTTP/1.1\r\n\r\n").find("<p>"), std::string::npos);
    EXPECT_EQ(Fetch("GET / HTTP/1.1\r\n\r\n", "::1").rfind("HTTP/1.1 200 OK", 0), 0u);
}

TEST_F(WebServer, AClientThatSaysNothingDoesNotHoldOthersUp) {
    platform::Socket idle = platform::ConnectTcp("127.0.0.1", static_cast<uint16_t>(port_));
    EXPECT_EQ(Fetch("GET / HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 200 OK", 0), 0u);
    // A request head past 16 KiB is not waited for.
    EXPECT_EQ(Fetch("GET / HTTP/1.1\r\nX: " + std::string(20000, 'a')), "");
}

}  // namespace
