// qv-web-server: serves the demo page over HTTPS on this machine (https://localhost:8444),
// with the service's own certificate, so that a Windows shop sees the demo without Node.js.
// Static files only; connections from other machines are closed unanswered. See --help.
#include <chrono>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/paths.h"
#include "platform/socket.h"
#include "static_files.h"
#include "transport/tls_context.h"
#include "transport/tls_stream.h"
#include "transport/transport_errors.h"

namespace {

constexpr const char* kUsage =
    R"(Usage: qv-web-server [--root DIR] [--port PORT] [--certificates DIR]

Serves the files of DIR over HTTPS to this machine only, with the certificate,
key and CA of the certificate folder (server_cert.pem, server_key.pem,
ca_cert.pem). Prints "serving https://localhost:PORT/" once it listens; runs
until stopped (Ctrl+C).

Options:
  --root DIR           the page (default: web beside this program)
  --port PORT          the port (default 8444; 0 takes a free one)
  --certificates DIR   the certificate folder (default: Certificado beside this
                       program, the service's own)
  --help               this text
)";

constexpr size_t kMaxRequest = 16 * 1024;
constexpr auto kRequestTime = std::chrono::seconds(10);
constexpr auto kWriteStall = std::chrono::seconds(10);

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string root = platform::ExecutableDir() + "web/";
    std::string certificates = platform::ExecutableDir() + "Certificado/";
    uint16_t port = 8444;
    bool help = false;
};

std::string AsFolder(std::string dir) {
    if (dir.empty() || (dir.back() != '/' && dir.back() != '\\')) dir += '/';
    return dir;
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            options.help = true;
            continue;
        }
        if (i + 1 == argc) throw UsageError("unknown option or missing value: " + std::string(arg));
        const std::string value = argv[++i];
        if (arg == "--root") {
            options.root = AsFolder(value);
        } else if (arg == "--certificates") {
            options.certificates = AsFolder(value);
        } else if (arg == "--port") {
            const unsigned long port = value.find_first_not_of("0123456789") == std::string::npos &&
                                               !value.empty() && value.size() <= 5
                                           ? std::stoul(value)
                                           : 65536;
            if (port > 65535) throw UsageError("--port takes 0 to 65535");
            options.port = static_cast<uint16_t>(port);
        } else {
            throw UsageError("unknown option " + std::string(arg));
        }
    }
    return options;
}

bool IsLoopback(const std::string& peer) {
    return peer.rfind("127.", 0) == 0 || peer.rfind("[::1]", 0) == 0 ||
           peer.rfind("[::ffff:127.", 0) == 0;
}

// One request, one answer, then the connection closes.
void Serve(SSL_CTX* ctx, platform::Socket socket, const std::string& root) {
    try {
        transport::TlsStream stream(ctx, std::move(socket));
        const auto deadline = transport::SteadyClock::now() + kRequestTime;
        stream.Accept(deadline);
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            if (request.size() > kMaxRequest) return stream.Close();
            request.append(buffer, stream.Read(buffer, sizeof buffer, deadline));
        }
        const qvweb::HttpAnswer answer = qvweb::Answer(request, root);
        stream.Write(answer.head + answer.body, kWriteStall);
        stream.Close();
    } catch (const std::exception&) {
        // A client that went away or never finished its request: nothing to answer.
    }
}

[[noreturn]] void Run(const Options& options) {
    const transport::TlsContext tls(options.certificates + "server_cert.pem",
                                    options.certificates + "server_key.pem",
                                    options.certificates + "ca_cert.pem");
    platform::IgnoreBrokenPipe();
    std::vector<platform::Socket> listeners;
    listeners.push_back(platform::ListenTcp(platform::IpFamily::kIPv4, options.port, 64));
    const uint16_t port = listeners.front().LocalPort();
    try {
        listeners.push_back(platform::ListenTcp(platform::IpFamily::kIPv6, port, 64));
    } catch (const std::system_error& error) {
        if (!platform::IsIpv6Unavailable(error)) throw;
    }
    std::cout << "serving https://localhost:" << port << "/" << std::endl;
    for (;;) {
        std::vector<platform::PollEntry> entries;
        for (const platform::Socket& listener : listeners) entries.push_back({listener.fd()});
        platform::WaitForAny(entries, std::chrono::milliseconds(-1));
        for (const platform::Socket& listener : listeners) {
            platform::Socket client = platform::AcceptConnection(listener);
            if (!client || !IsLoopback(client.PeerAddress())) continue;
            std::thread(Serve, tls.get(), std::move(client), options.root).detach();
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Options options = ParseOptions(argc, argv);
        if (options.help) {
            std::cout << kUsage;
            return 0;
        }
        Run(options);
    } catch (const UsageError& error) {
        std::cerr << "qv-web-server: " << error.what() << "\n" << kUsage;
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "qv-web-server: " << error.what() << "\n";
        return 1;
    }
}
