// The records after the TLS handshake, over a real connection on loopback: a real client seals
// records of application data, and the input damages them, adds raw bytes between them and
// cuts the stream into sends. The service's stream must hand over exactly the data of the
// intact records before the first damaged or foreign byte, in order, then end the connection;
// never data nobody sealed, never a wait for bytes that already came.
//
// Input, op by op. First byte: the suite (bits 0-1: AES-128-GCM, AES-256-GCM,
// ChaCha20-Poly1305, AES-128-CBC) and how the stream reads (bit 2: polling against a deadline,
// or blocking in the socket as between messages). Then:
//   0 H L    a record carrying ((H << 8 | L) % 16385) bytes of data
//   1 N ...  N raw bytes taken from the input
//   2 H L    one byte of the stream so far, at (H << 8 | L) modulo its length, inverted
//   3        what the stream holds so far goes out in its own send
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/app_folder.h"
#include "support/require.h"
#include "transport/tls_context.h"
#include "transport/tls_stream.h"
#include "transport/transport_errors.h"

namespace {

using qvfuzz::Require;

constexpr std::chrono::seconds kWait{5};
constexpr size_t kMaxData = 16384;  // one client write, one record

// The stream the client sends, and what of it the service may hand over.
struct Plan {
    std::vector<std::string> sends{std::string()};
    size_t length = 0;                     // bytes in all sends
    size_t foreign = SIZE_MAX;             // the first raw byte
    std::set<size_t> flipped;              // bytes inverted an odd number of times
    std::vector<size_t> record_ends;       // stream offset after each sealed record
    std::vector<std::string> record_data;  // what each carries

    void Append(std::string_view bytes) {
        sends.back() += bytes;
        length += bytes.size();
    }
    void AppendForeign(std::string_view bytes) {
        if (!bytes.empty()) foreign = std::min(foreign, length);
        Append(bytes);
    }
    void Flip(size_t at) {
        if (!flipped.erase(at)) flipped.insert(at);
        for (std::string& send : sends) {
            if (at < send.size()) {
                send[at] = static_cast<char>(~send[at]);
                return;
            }
            at -= send.size();
        }
    }
    std::string Deliverable() const {
        const size_t intact_end = flipped.empty() ? foreign : std::min(foreign, *flipped.begin());
        std::string data;
        for (size_t i = 0; i < record_ends.size() && record_ends[i] <= intact_end; ++i)
            data += record_data[i];
        return data;
    }
};

class Client {
public:
    explicit Client(const char* suite) : ctx_(SSL_CTX_new(TLS_client_method())) {
        Require(ctx_ != nullptr, "client context");
        SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
        SSL_CTX_set_max_proto_version(ctx_, TLS1_2_VERSION);
        Require(SSL_CTX_set_cipher_list(ctx_, suite) == 1, "client suite");
    }
    ~Client() {
        SSL_SESSION_free(session_);
        SSL_CTX_free(ctx_);
    }

    // Connects; from then on the client's records are sealed into memory by Seal().
    void Connect(const platform::Socket& socket) {
        ssl_ = SSL_new(ctx_);
        SSL_set_fd(ssl_, socket.fd());
        if (session_ != nullptr) SSL_set_session(ssl_, session_);
        Require(SSL_connect(ssl_) == 1, "client handshake");
        // A connection that failed takes its session with it; the next one resumes the new.
        if (!SSL_session_reused(ssl_)) {
            SSL_SESSION_free(session_);
            session_ = SSL_get1_session(ssl_);
        }
        SSL_set0_wbio(ssl_, BIO_new(BIO_s_mem()));
    }

    std::string Seal(const std::string& data) {
        Require(SSL_write(ssl_, data.data(), static_cast<int>(data.size())) > 0, "client seal");
        BIO* out = SSL_get_wbio(ssl_);
        std::string record(static_cast<size_t>(BIO_pending(out)), '\0');
        BIO_read(out, record.data(), static_cast<int>(record.size()));
        return record;
    }

    void Finish() {
        SSL_free(ssl_);
        ssl_ = nullptr;
        ERR_clear_error();
    }

private:
    SSL_CTX* ctx_;
    SSL* ssl_ = nullptr;
    SSL_SESSION* session_ = nullptr;
};

uint16_t TakeWord(std::string_view& in) {
    uint16_t value = 0;
    for (int i = 0; i < 2 && !in.empty(); ++i, in.remove_prefix(1))
        value = static_cast<uint16_t>(value << 8 | static_cast<uint8_t>(in[0]));
    return value;
}

Plan MakePlan(std::string_view in, Client& client) {
    Plan plan;
    while (!in.empty()) {
        const uint8_t op = static_cast<uint8_t>(in[0]) % 4;
        in.remove_prefix(1);
        if (op == 0) {
            const size_t size = TakeWord(in) % (kMaxData + 1);
            std::string data(size, '\0');
            for (size_t i = 0; i < size; ++i)
                data[i] = static_cast<char>('a' + (plan.length + i) % 26);
            if (data.empty()) continue;  // a client writes no empty record
            plan.Append(client.Seal(data));
            plan.record_ends.push_back(plan.length);
            plan.record_data.push_back(std::move(data));
        } else if (op == 1) {
            if (in.empty()) continue;
            const size_t size = std::min<size_t>(static_cast<uint8_t>(in[0]), in.size() - 1);
            plan.AppendForeign(in.substr(1, size));
            in.remove_prefix(1 + size);
        } else if (op == 2) {
            const size_t at = TakeWord(in);
            if (plan.length > 0) plan.Flip(at % plan.length);
        } else {
            plan.sends.emplace_back();
        }
    }
    return plan;
}

void SendAll(const platform::Socket& socket, const std::vector<std::string>& sends) {
    for (const std::string& send : sends) {
        for (std::string_view rest = send; !rest.empty();) {
            const platform::IoResult result = socket.Send(rest.data(), rest.size());
            // The service may have ended the connection at a damaged record already.
            if (result.status != platform::IoResult::Status::kDone) return;
            rest.remove_prefix(result.bytes);
        }
    }
}

// The service's side: reads until the connection ends. A blocking read cannot time out, but
// the client ends its side after its bytes, so even a read waiting for bytes that had come
// returns, at the end of the stream, with them missing.
std::string Serve(const transport::TlsContext& tls, const platform::Socket& listener,
                  bool blocking) {
    Require(platform::WaitReadable(listener.fd(), kWait), "client connects");
    transport::TlsStream stream(tls.get(), platform::AcceptConnection(listener));
    std::string received;
    try {
        stream.Accept(transport::SteadyClock::now() + kWait);
        if (blocking) stream.UseBlockingIo(kWait);
        char buffer[5000];
        for (;;) {
            const transport::Deadline deadline =
                blocking ? transport::Deadline() : transport::SteadyClock::now() + kWait;
            received.append(buffer, stream.Read(buffer, sizeof buffer, deadline));
        }
    } catch (const transport::ConnectionClosed&) {
    } catch (const transport::StreamTimeout&) {
        Require(false, "the service waited for bytes that had come");
    }
    stream.Close();
    return received;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const transport::TlsContext tls(qvtest::CertificateFolder() + "server_cert.pem",
                                           qvtest::CertificateFolder() + "server_key.pem",
                                           qvtest::CertificateFolder() + "ca_cert.pem");
    static const platform::Socket listener = [] {
        platform::IgnoreBrokenPipe();
        return platform::ListenTcp(platform::IpFamily::kIPv4, 0, 4);
    }();
    static Client clients[] = {
        Client("ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256"),
        Client("ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-RSA-AES256-GCM-SHA384"),
        Client("ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305"),
        Client("ECDHE-ECDSA-AES128-SHA256:ECDHE-RSA-AES128-SHA256"),
    };
    std::string_view in = qvfuzz::AsText(data, size);
    if (in.empty()) return 0;
    const auto setup = static_cast<uint8_t>(in[0]);
    Client& client = clients[setup % 4];
    const bool blocking = (setup & 4) != 0;
    in.remove_prefix(1);

    std::string expected;
    std::thread peer([&] {
        platform::Socket socket = platform::ConnectTcp("127.0.0.1", listener.LocalPort());
        socket.SetTimeouts(kWait);
        client.Connect(socket);
        const Plan plan = MakePlan(in, client);
        expected = plan.Deliverable();
        SendAll(socket, plan.sends);
        socket.ShutdownSend();
        char ignored[4096];
        while (socket.Receive(ignored, sizeof ignored).status ==
               platform::IoResult::Status::kDone) {
        }
        client.Finish();
    });
    const std::string received = Serve(tls, listener, blocking);
    peer.join();
    Require(received == expected, "the service delivers exactly the intact records' data");
    return 0;
}
