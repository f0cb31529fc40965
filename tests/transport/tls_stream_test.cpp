// The server side of TLS against a plain OpenSSL client on loopback: data both ways for each
// offered suite, records split and combined on the wire, goodbyes and session resumption,
// damaged records, alerts of every level, a Finished message over two records, and the
// bounded waits. The client can seal records into memory and put the raw bytes on the socket
// itself, so the tests control how records reach the stream.
#include "transport/tls_stream.h"

#include <gtest/gtest.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "forged_records.h"
#include "platform/socket.h"
#include "support/app_folder.h"
#include "transport/tls_context.h"
#include "transport/transport_errors.h"

namespace {

using namespace std::chrono_literals;
using transport::ConnectionClosed;
using transport::Deadline;
using transport::StreamTimeout;
using transport::TlsStream;

// Every wait for the other side; long enough for sanitizer builds, short enough to fail fast.
constexpr auto kWait = 10s;
// A test still running after this has hung: its sockets are shut down so it fails instead.
constexpr std::chrono::seconds kTestLimit{60};

// The generated certificate has an ECDSA key (checked below), so the suites are ECDSA ones.
constexpr const char* kAes128Gcm = "ECDHE-ECDSA-AES128-GCM-SHA256";
constexpr const char* kAes256Gcm = "ECDHE-ECDSA-AES256-GCM-SHA384";
constexpr const char* kChacha = "ECDHE-ECDSA-CHACHA20-POLY1305";
constexpr const char* kAes128Cbc = "ECDHE-ECDSA-AES128-SHA256";
constexpr const char* kAllSuites[] = {kAes128Gcm, kAes256Gcm, kChacha, kAes128Cbc};
// The suites whose records RecordForger can seal.
constexpr const char* kAeadSuites[] = {kAes128Gcm, kAes256Gcm, kChacha};

constexpr const char* kGoodbyeText = "Conexão fechada pelo cliente.";

Deadline Soon() { return transport::SteadyClock::now() + kWait; }

std::string SslError(const std::string& what) {
    char text[256] = "no detail";
    if (unsigned long code = ERR_get_error()) ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return what + ": " + text;
}

std::string RandomBytes(size_t size) {
    std::mt19937 random(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// Short messages of varied length, each one record of its own when written alone.
std::vector<std::string> SmallMessages(int count) {
    std::vector<std::string> messages;
    for (int i = 0; i < count; ++i)
        messages.push_back(
            "message " + std::to_string(i) +
            std::string(static_cast<size_t>(i % 37), static_cast<char>('a' + i % 26)));
    return messages;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string all;
    for (const std::string& part : parts) all += part;
    return all;
}

// Compares without printing megabytes: sizes and the first byte that differs.
void ExpectSameBytes(const std::string& expected, const std::string& actual) {
    EXPECT_EQ(expected.size(), actual.size());
    const auto [e, a] =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    EXPECT_TRUE(e == expected.end() && a == actual.end())
        << "first difference at byte " << (e - expected.begin());
}

struct SessionFree {
    void operator()(SSL_SESSION* session) const noexcept { SSL_SESSION_free(session); }
};
using SessionPtr = std::unique_ptr<SSL_SESSION, SessionFree>;

struct ClientOptions {
    const char* suite = kAes128Gcm;
    // Without tickets a resumption depends on the server's session cache alone.
    bool tickets = false;
    SSL_SESSION* session = nullptr;  // offered for resumption when set
    // Records the client asks to be kept to (TLSEXT_max_fragment_length_*); none by default.
    uint8_t max_fragment = TLSEXT_max_fragment_length_DISABLED;
    // When set, the client's Finished message goes out in two records, cut after this many
    // of its 16 bytes (AEAD suites only).
    size_t finished_cut = 0;
};

// A TLS 1.2 OpenSSL client over a blocking socket whose every wait ends after kWait. Used by
// one thread at a time, except Hangup().
class TestClient {
public:
    TestClient(uint16_t port, const ClientOptions& options)
        : socket_(platform::ConnectTcp("127.0.0.1", port)), ctx_(SSL_CTX_new(TLS_client_method())) {
        platform::IgnoreBrokenPipe();
        socket_.SetNoDelay();
        socket_.SetTimeouts(kWait);
        if (!ctx_) throw std::runtime_error(SslError("SSL_CTX_new"));
        SSL_CTX_set_min_proto_version(ctx_.get(), TLS1_2_VERSION);
        SSL_CTX_set_max_proto_version(ctx_.get(), TLS1_2_VERSION);
        if (SSL_CTX_set_cipher_list(ctx_.get(), options.suite) != 1)
            throw std::runtime_error(SslError(options.suite));
        ssl_.reset(SSL_new(ctx_.get()));
        if (!ssl_) throw std::runtime_error(SslError("SSL_new"));
        if (!options.tickets) SSL_set_options(ssl_.get(), SSL_OP_NO_TICKET);
        if (options.max_fragment != TLSEXT_max_fragment_length_DISABLED &&
            SSL_set_tlsext_max_fragment_length(ssl_.get(), options.max_fragment) != 1)
            throw std::runtime_error(SslError("max fragment length"));
        if (options.session && SSL_set_session(ssl_.get(), options.session) != 1)
            throw std::runtime_error(SslError("SSL_set_session"));
        SSL_set_fd(ssl_.get(), socket_.fd());
        finished_cut_ = options.finished_cut;
    }

    void Handshake() {
        if (finished_cut_ > 0) return HandshakeSplittingFinished();
        if (SSL_connect(ssl_.get()) != 1) throw std::runtime_error(SslError("SSL_connect"));
    }

    // One SSL_write: one record per 16 KiB.
    void Send(std::string_view data) {
        if (SSL_write(ssl_.get(), data.data(), static_cast<int>(data.size())) !=
            static_cast<int>(data.size()))
            throw std::runtime_error(SslError("SSL_write"));
    }

    // Exactly `size` bytes.
    std::string Receive(size_t size) {
        std::string data(size, '\0');
        for (size_t got = 0; got < size;) {
            const int n = SSL_read(ssl_.get(), data.data() + got,
                                   static_cast<int>(std::min<size_t>(size - got, 1 << 20)));
            if (n <= 0) throw std::runtime_error(SslError("SSL_read"));
            got += static_cast<size_t>(n);
        }
        return data;
    }

    // How the server ended the connection, read by the next SSL_read (which must deliver
    // nothing): "close_notify", "alert <description>" for a fatal alert, or "no alert" when
    // the connection simply closed.
    std::string Ending() {
        char byte;
        const int n = SSL_read(ssl_.get(), &byte, 1);
        if (n > 0) throw std::runtime_error("SSL_read delivered data");
        const int error = SSL_get_error(ssl_.get(), n);
        const int reason = ERR_GET_REASON(ERR_peek_error());
        ERR_clear_error();
        if (error == SSL_ERROR_ZERO_RETURN) return "close_notify";
        if (reason >= SSL_AD_REASON_OFFSET)
            return "alert " + std::to_string(reason - SSL_AD_REASON_OFFSET);
        return "no alert";
    }

    // The records `data` becomes, sealed with the connection's keys but not sent: the
    // connection's sequence number advances as if they had been.
    std::string Seal(std::string_view data) {
        BIO* const socket_bio = SSL_get_rbio(ssl_.get());
        SSL_set0_wbio(ssl_.get(), BIO_new(BIO_s_mem()));
        const int n = SSL_write(ssl_.get(), data.data(), static_cast<int>(data.size()));
        char* bytes = nullptr;
        const long size = BIO_get_mem_data(SSL_get_wbio(ssl_.get()), &bytes);
        std::string records(bytes, static_cast<size_t>(size));
        BIO_up_ref(socket_bio);
        SSL_set0_wbio(ssl_.get(), socket_bio);
        if (n != static_cast<int>(data.size())) throw std::runtime_error(SslError("seal"));
        return records;
    }

    // Puts bytes on the socket as they are, in one write when the socket takes them.
    void SendRaw(std::string_view bytes) {
        while (!bytes.empty()) {
            const platform::IoResult sent = socket_.Send(bytes.data(), bytes.size());
            if (sent.status != platform::IoResult::Status::kDone)
                throw std::runtime_error("raw write failed");
            bytes.remove_prefix(sent.bytes);
        }
    }

    void SendRawSlowly(std::string_view bytes, size_t piece) {
        for (size_t at = 0; at < bytes.size(); at += piece) {
            SendRaw(bytes.substr(at, piece));
            std::this_thread::sleep_for(1ms);
        }
    }

    // close_notify, without waiting for the server's.
    void SayGoodbye() {
        if (SSL_shutdown(ssl_.get()) < 0) throw std::runtime_error(SslError("SSL_shutdown"));
    }

    // A TCP close with no close_notify; callable from any thread.
    void Hangup() const noexcept { socket_.Shutdown(); }

    // Seals records OpenSSL's client never sends. After the handshake the client's records
    // are numbered from 1; a forged record takes a number OpenSSL does not know was used, so
    // a Seal() must skip it before the client's own records go on.
    qvtest::RecordForger Forger() const { return qvtest::RecordForger(ssl_.get()); }

    SSL* ssl() const { return ssl_.get(); }
    std::string CipherName() const { return SSL_get_cipher_name(ssl_.get()); }
    bool Resumed() const { return SSL_session_reused(ssl_.get()) == 1; }
    // A copy of the session as it is now: what happens to this connection later cannot mark
    // the copy unusable, so a later client always offers it.
    SessionPtr Session() const { return SessionPtr(SSL_SESSION_dup(SSL_get0_session(ssl_.get()))); }

private:
    // OpenSSL writes the handshake into memory; the flight with the Finished record is cut
    // there before it goes on the wire. The Finished message's two records take numbers 0 and
    // 1, so OpenSSL, which used only 0, skips 1 afterwards.
    void HandshakeSplittingFinished() {
        BIO* const from_server = BIO_new(BIO_s_mem());
        BIO* const to_server = BIO_new(BIO_s_mem());
        SSL_set_bio(ssl_.get(), from_server, to_server);
        bool cipher_changed = false;
        for (;;) {
            const int rc = SSL_connect(ssl_.get());
            char* bytes = nullptr;
            const long size = BIO_get_mem_data(to_server, &bytes);
            std::string_view flight(bytes, static_cast<size_t>(size));
            std::string wire;
            while (flight.size() >= 5) {
                const size_t length = static_cast<size_t>(static_cast<uint8_t>(flight[3])) << 8 |
                                      static_cast<uint8_t>(flight[4]);
                const std::string_view record = flight.substr(0, 5 + length);
                flight.remove_prefix(record.size());
                if (cipher_changed && record[0] == qvtest::kHandshakeRecord) {
                    wire += CutFinished(record);
                    continue;
                }
                cipher_changed = cipher_changed || record[0] == qvtest::kChangeCipherSpecRecord;
                wire += record;
            }
            (void)BIO_reset(to_server);
            SendRaw(wire);
            if (rc == 1) break;
            if (SSL_get_error(ssl_.get(), rc) != SSL_ERROR_WANT_READ)
                throw std::runtime_error(SslError("SSL_connect"));
            char buffer[4096];
            const platform::IoResult got = socket_.Receive(buffer, sizeof buffer);
            if (got.status != platform::IoResult::Status::kDone)
                throw std::runtime_error("the server's handshake did not come");
            BIO_write(from_server, buffer, static_cast<int>(got.bytes));
        }
        if (BIO_ctrl_pending(from_server) != 0) throw std::runtime_error("more than a handshake");
        SSL_set_fd(ssl_.get(), socket_.fd());
        Seal("a number already taken");
    }

    std::string CutFinished(std::string_view record) const {
        const qvtest::RecordForger forger = Forger();
        const std::string finished = forger.Open(record, 0);
        if (finished.size() != 16 || finished_cut_ >= finished.size())
            throw std::runtime_error("unexpected Finished message");
        return forger.Seal(qvtest::kHandshakeRecord, finished.substr(0, finished_cut_), 0) +
               forger.Seal(qvtest::kHandshakeRecord, finished.substr(finished_cut_), 1);
    }

    struct Free {
        void operator()(SSL* ssl) const noexcept { SSL_free(ssl); }
        void operator()(SSL_CTX* ctx) const noexcept { SSL_CTX_free(ctx); }
    };
    platform::Socket socket_;
    std::unique_ptr<SSL_CTX, Free> ctx_;
    std::unique_ptr<SSL, Free> ssl_;
    size_t finished_cut_ = 0;
};

// Part of a record, whose rest never comes.
std::string PartOfARecord(TestClient& client) {
    return client.Seal("never finished").substr(0, 12);
}

// Runs `expire` once `limit` passes unless destroyed first.
class Watchdog {
public:
    Watchdog(std::function<void()> expire, std::chrono::seconds limit)
        : thread_([this, expire = std::move(expire), limit] {
              std::unique_lock lock(mutex_);
              if (changed_.wait_for(lock, limit, [this] { return cancelled_; })) return;
              ADD_FAILURE() << "the test hung; its connection was aborted";
              expire();
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            cancelled_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool cancelled_ = false;  // guarded by mutex_
    std::thread thread_;
};

// How the server side reads: polling with a deadline (before the connection carries
// messages), blocking without deadline, both in turn, or taking what is ready after a wait
// for the socket.
enum class ReadWay { kPolling, kBlocking, kMixed, kTryRead };

std::string WayName(ReadWay way) {
    switch (way) {
        case ReadWay::kPolling:
            return "Polling";
        case ReadWay::kBlocking:
            return "Blocking";
        case ReadWay::kMixed:
            return "Mixed";
        case ReadWay::kTryRead:
            return "TryRead";
    }
    return "?";
}

std::string SuiteName(const char* suite) {
    std::string name;
    for (const char* c = suite; *c; ++c)
        if (*c != '-') name += *c;
    return name;
}

using SuiteAndWay = std::tuple<const char*, ReadWay>;

auto SuitesAndWays() {
    return ::testing::Combine(::testing::ValuesIn(kAllSuites),
                              ::testing::Values(ReadWay::kPolling, ReadWay::kBlocking,
                                                ReadWay::kMixed, ReadWay::kTryRead));
}

std::string SuiteAndWayName(const ::testing::TestParamInfo<SuiteAndWay>& param) {
    return SuiteName(std::get<0>(param.param)) + "_" + WayName(std::get<1>(param.param));
}

class TlsStreamTest : public ::testing::Test {
protected:
    void TearDown() override {
        watchdog_.reset();
        server_.reset();
        client_.reset();
    }

    // A new client connection, both handshakes done; the client's runs on its own thread.
    void Connect(const ClientOptions& options = {}) {
        TearDown();
        client_ = std::make_unique<TestClient>(listener_.LocalPort(), options);
        auto handshake = std::async(std::launch::async, [c = client_.get()] { c->Handshake(); });
        if (!platform::WaitReadable(listener_.fd(), kWait)) throw std::runtime_error("no client");
        server_ =
            std::make_unique<TlsStream>(context_.get(), platform::AcceptConnection(listener_));
        watchdog_ = std::make_unique<Watchdog>(
            [s = server_.get(), c = client_.get()] {
                s->Abort();
                c->Hangup();
            },
            kTestLimit);
        server_->Accept(Soon());
        handshake.get();
    }

    void UseWay(ReadWay way) {
        way_ = way;
        if (way == ReadWay::kBlocking || way == ReadWay::kMixed) server_->UseBlockingIo(kWait);
    }

    size_t ReadSome(char* dst, size_t size) {
        switch (way_) {
            case ReadWay::kPolling:
                return server_->Read(dst, size, Soon());
            case ReadWay::kBlocking:
                return server_->Read(dst, size, Deadline());
            case ReadWay::kMixed:
                return server_->Read(dst, size, ++reads_ % 2 ? Soon() : Deadline());
            case ReadWay::kTryRead:
                for (;;) {
                    if (const size_t n = server_->TryRead(dst, size)) return n;
                    if (!server_->WaitReadable(kWait)) throw StreamTimeout("nothing to read");
                }
        }
        throw std::logic_error("read way");
    }

    // Exactly `size` bytes, read at most `piece` at a time.
    std::string ReadExactly(size_t size, size_t piece = 64 * 1024) {
        std::string data(size, '\0');
        for (size_t got = 0; got < size;)
            got += ReadSome(data.data() + got, std::min(piece, size - got));
        return data;
    }

    // Reads until the stream fails; what it delivered before, and the failure's text.
    std::pair<std::string, std::string> ReadUntilClosed() {
        std::string delivered;
        char buffer[4096];
        try {
            for (;;) delivered.append(buffer, ReadSome(buffer, sizeof buffer));
        } catch (const ConnectionClosed& e) {
            return {delivered, e.what()};
        }
    }

    platform::Socket listener_ = platform::ListenTcp(platform::IpFamily::kIPv4, 0, 8);
    transport::TlsContext context_{qvtest::CertificateFolder() + "server_cert.pem",
                                   qvtest::CertificateFolder() + "server_key.pem",
                                   qvtest::CertificateFolder() + "ca_cert.pem"};
    std::unique_ptr<TestClient> client_;
    std::unique_ptr<TlsStream> server_;
    std::unique_ptr<Watchdog> watchdog_;  // destroyed before the connection it watches
    ReadWay way_ = ReadWay::kPolling;
    unsigned reads_ = 0;
};

TEST(TlsStreamCertificate, GeneratedKeyIsEcdsaAsTheSuitesBelowExpect) {
    const std::string file = qvtest::CertificateFolder() + "server_cert.pem";
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_file(file.c_str(), "r"), BIO_free);
    ASSERT_TRUE(bio);
    std::unique_ptr<X509, decltype(&X509_free)> certificate(
        PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr), X509_free);
    ASSERT_TRUE(certificate);
    EXPECT_EQ(EVP_PKEY_get_base_id(X509_get0_pubkey(certificate.get())), EVP_PKEY_EC);
}

// --- Data both ways --------------------------------------------------------------------------

class TlsStreamExchange : public TlsStreamTest,
                          public ::testing::WithParamInterface<SuiteAndWay> {};

TEST_P(TlsStreamExchange, CarriesPayloadsAndThousandsOfRecordsBothWays) {
    const auto [suite, way] = GetParam();
    Connect({.suite = suite});
    ASSERT_EQ(client_->CipherName(), suite);
    UseWay(way);
    // Around the record size, and a size of many records.
    const std::vector<std::string> payloads = {RandomBytes(1), RandomBytes(16384),
                                               RandomBytes(16385), RandomBytes(1 << 20)};
    // Each its own record: a sequence number used wrongly fails a record's check.
    const std::vector<std::string> messages = SmallMessages(2000);
    auto client = std::async(std::launch::async, [&, c = client_.get()] {
        for (const std::string& payload : payloads) c->Send(payload);
        std::string payloads_back = c->Receive(Joined(payloads).size());
        for (const std::string& message : messages) c->Send(message);
        return std::pair(payloads_back, c->Receive(Joined(messages).size()));
    });

    // Read in pieces smaller than a record, so a record is delivered in parts.
    for (const std::string& payload : payloads)
        ExpectSameBytes(payload, ReadExactly(payload.size(), 5000));
    for (const std::string& payload : payloads) server_->Write(payload, kWait);
    ExpectSameBytes(Joined(messages), ReadExactly(Joined(messages).size()));
    for (const std::string& message : messages) server_->Write(message, kWait);

    const auto [payloads_back, messages_back] = client.get();
    ExpectSameBytes(Joined(payloads), payloads_back);
    ExpectSameBytes(Joined(messages), messages_back);
}

INSTANTIATE_TEST_SUITE_P(SuitesAndReadWays, TlsStreamExchange, SuitesAndWays(), SuiteAndWayName);

class TlsStreamFragment : public TlsStreamTest,
                          public ::testing::WithParamInterface<const char*> {};

// A client that asked for 512-byte records refuses a larger one ("record overflow").
TEST_P(TlsStreamFragment, KeepsToTheRecordSizeTheClientAskedFor) {
    Connect({.suite = GetParam(), .max_fragment = TLSEXT_max_fragment_length_512});
    const std::string payload = RandomBytes(5000);
    auto client = std::async(std::launch::async, [&, c = client_.get()] {
        c->Send(payload);
        return c->Receive(payload.size());
    });
    ExpectSameBytes(payload, ReadExactly(payload.size()));
    server_->Write(payload, kWait);
    ExpectSameBytes(payload, client.get());
}

INSTANTIATE_TEST_SUITE_P(Suites, TlsStreamFragment, ::testing::ValuesIn(kAllSuites),
                         [](const auto& param) { return SuiteName(param.param); });

// --- Records split and combined on the wire ---------------------------------------------------

class TlsStreamRecords : public TlsStreamTest, public ::testing::WithParamInterface<SuiteAndWay> {};

TEST_P(TlsStreamRecords, RecordArrivingInPiecesIsDeliveredOnceComplete) {
    const auto [suite, way] = GetParam();
    Connect({.suite = suite});
    UseWay(way);
    const std::string first = RandomBytes(300);
    const std::string record = client_->Seal(first);
    char buffer[1024];
    // Every cut, the header's included: nothing is ready until the last byte.
    for (size_t i = 0; i + 1 < record.size(); ++i) {
        client_->SendRaw(record.substr(i, 1));
        ASSERT_TRUE(server_->WaitReadable(kWait)) << "byte " << i;
        ASSERT_EQ(server_->TryRead(buffer, sizeof buffer), 0u) << "byte " << i;
    }
    client_->SendRaw(record.substr(record.size() - 1));
    ExpectSameBytes(first, ReadExactly(first.size()));

    // A read already waiting when the pieces come.
    const std::string second = RandomBytes(5000);
    auto client = std::async(
        std::launch::async,
        [c = client_.get(), sealed = client_->Seal(second)] { c->SendRawSlowly(sealed, 97); });
    ExpectSameBytes(second, ReadExactly(second.size()));
    client.get();
}

TEST_P(TlsStreamRecords, RecordsArrivingTogetherAreDeliveredInOrderThroughSmallReads) {
    const auto [suite, way] = GetParam();
    Connect({.suite = suite});
    UseWay(way);
    const std::vector<std::string> parts = {RandomBytes(700), RandomBytes(16384), RandomBytes(1),
                                            RandomBytes(40000)};
    std::string wire;
    for (const std::string& part : parts) wire += client_->Seal(part);
    client_->SendRaw(wire);
    ExpectSameBytes(Joined(parts), ReadExactly(Joined(parts).size(), 7));
}

INSTANTIATE_TEST_SUITE_P(SuitesAndReadWays, TlsStreamRecords, SuitesAndWays(), SuiteAndWayName);

// --- Goodbyes and resumption -----------------------------------------------------------------

class TlsStreamGoodbye : public TlsStreamTest, public ::testing::WithParamInterface<ReadWay> {};

TEST_P(TlsStreamGoodbye, ClientCloseNotifyEndsReadingWithTheGoodbyeText) {
    Connect();
    UseWay(GetParam());
    // Records first, so the goodbye comes with a sequence number well past zero.
    const std::vector<std::string> messages = SmallMessages(50);
    for (const std::string& message : messages) client_->Send(message);
    client_->SayGoodbye();
    const auto [delivered, why] = ReadUntilClosed();
    ExpectSameBytes(Joined(messages), delivered);
    EXPECT_EQ(why, kGoodbyeText);
}

INSTANTIATE_TEST_SUITE_P(ReadWays, TlsStreamGoodbye,
                         ::testing::Values(ReadWay::kPolling, ReadWay::kBlocking, ReadWay::kMixed,
                                           ReadWay::kTryRead),
                         [](const ::testing::TestParamInfo<ReadWay>& param) {
                             return WayName(param.param);
                         });

TEST_F(TlsStreamTest, CloseSendsCloseNotifyAfterWhatWasWritten) {
    Connect();
    const std::vector<std::string> messages = SmallMessages(50);
    for (const std::string& message : messages) server_->Write(message, kWait);
    server_->Close();
    ExpectSameBytes(Joined(messages), client_->Receive(Joined(messages).size()));
    EXPECT_EQ(client_->Ending(), "close_notify");
}

struct ResumptionCase {
    const char* name;
    const char* suite;
    bool tickets;
    bool server_first;  // the server says goodbye before the client does
};

void PrintTo(const ResumptionCase& c, std::ostream* out) { *out << c.name; }

class TlsStreamResumption : public TlsStreamTest,
                            public ::testing::WithParamInterface<ResumptionCase> {
protected:
    // A few bytes each way, so both sides' keys and sequence numbers are in use.
    void Greet() {
        const std::string hello = "hello from the client", answer = "hello from the server";
        client_->Send(hello);
        EXPECT_EQ(ReadExactly(hello.size()), hello);
        server_->Write(answer, kWait);
        EXPECT_EQ(client_->Receive(answer.size()), answer);
    }
};

TEST_P(TlsStreamResumption, SessionResumesAfterACleanClose) {
    const ResumptionCase& c = GetParam();
    Connect({.suite = c.suite, .tickets = c.tickets});
    Greet();
    const SessionPtr session = client_->Session();
    if (c.server_first) {
        server_->Close();
        EXPECT_EQ(client_->Ending(), "close_notify");
        client_->SayGoodbye();
    } else {
        client_->SayGoodbye();
        EXPECT_EQ(ReadUntilClosed().second, kGoodbyeText);
        server_->Close();
        EXPECT_EQ(client_->Ending(), "close_notify");
    }

    Connect({.suite = c.suite, .tickets = c.tickets, .session = session.get()});
    EXPECT_TRUE(client_->Resumed());
    Greet();  // with the keys of the shortened handshake
}

INSTANTIATE_TEST_SUITE_P(
    Goodbyes, TlsStreamResumption,
    ::testing::Values(ResumptionCase{"GcmClientFirst", kAes128Gcm, false, false},
                      ResumptionCase{"GcmServerFirst", kAes128Gcm, false, true},
                      ResumptionCase{"GcmWithTicket", kAes128Gcm, true, false},
                      ResumptionCase{"CbcClientFirst", kAes128Cbc, false, false},
                      ResumptionCase{"CbcServerFirst", kAes128Cbc, false, true}),
    [](const ::testing::TestParamInfo<ResumptionCase>& param) { return param.param.name; });

// --- Failures --------------------------------------------------------------------------------

// What goes on the wire instead of two good records, sealed in the order `a`, `b`.
struct Damage {
    const char* name;
    std::function<std::string(std::string a, const std::string& b)> wire;
    bool delivers_a;  // a's data comes before the failure
};

// Test output names the case instead of dumping the bytes of the function object.
void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.name; }

std::string Flipped(std::string record, size_t at) {
    record[at] = static_cast<char>(record[at] ^ 0x01);
    return record;
}

// An application-data record header announcing `length` bytes.
std::string Header(size_t length) {
    return std::string{0x17, 0x03, 0x03, static_cast<char>(length >> 8),
                       static_cast<char>(length & 0xFF)};
}

const Damage kDamages[] = {
    {"ContentTypeChanged", [](std::string a, const std::string& b) { return (a[0] = 0x16, a + b); },
     false},
    {"VersionChanged", [](std::string a, const std::string& b) { return Flipped(a, 2) + b; },
     false},
    {"FirstByteAfterHeaderFlipped",
     [](std::string a, const std::string& b) { return Flipped(a, 5) + b; }, false},
    {"MiddleByteFlipped",
     [](std::string a, const std::string& b) { return Flipped(a, a.size() / 2) + b; }, false},
    {"LastByteFlipped",
     [](std::string a, const std::string& b) { return Flipped(a, a.size() - 1) + b; }, false},
    {"ShorterThanItsOverhead",
     [](std::string, const std::string& b) { return Header(3) + "abc" + b; }, false},
    {"Empty", [](std::string, const std::string& b) { return Header(0) + b; }, false},
    {"LongerThanAllowed",
     [](std::string, const std::string&) { return Header(18433) + std::string(18433, 'x'); },
     false},
    {"NotTls",
     [](std::string, const std::string&) {
         return std::string("GET / HTTP/1.1\r\nHost: localhost\r\n\r\n");
     },
     false},
    {"Reordered", [](std::string a, const std::string& b) { return b + a; }, false},
    {"Replayed", [](std::string a, const std::string&) { return a + a; }, true},
};

class TlsStreamDamage : public TlsStreamTest,
                        public ::testing::WithParamInterface<std::tuple<const char*, Damage>> {};

TEST_P(TlsStreamDamage, IsRefusedWithNothingOfItDeliveredAndTheSessionForgotten) {
    const auto& [suite, damage] = GetParam();
    Connect({.suite = suite});
    // A good record first: the damaged one comes with a sequence number past zero.
    client_->Send("good");
    ASSERT_EQ(ReadExactly(4), "good");
    const SessionPtr session = client_->Session();
    const std::string data_a = "the first record's data", data_b = "the second record's data";
    const std::string a = client_->Seal(data_a);
    client_->SendRaw(damage.wire(a, client_->Seal(data_b)));

    const auto [delivered, why] = ReadUntilClosed();
    EXPECT_EQ(delivered, damage.delivers_a ? data_a : "");
    EXPECT_NE(why, kGoodbyeText);
    server_->Close();

    Connect({.suite = suite, .session = session.get()});
    EXPECT_FALSE(client_->Resumed());
}

INSTANTIATE_TEST_SUITE_P(
    SuitesAndDamages, TlsStreamDamage,
    ::testing::Combine(::testing::ValuesIn(kAllSuites), ::testing::ValuesIn(kDamages)),
    [](const ::testing::TestParamInfo<std::tuple<const char*, Damage>>& param) {
        return SuiteName(std::get<0>(param.param)) + "_" + std::get<1>(param.param).name;
    });

class TlsStreamHangup : public TlsStreamTest,
                        public ::testing::WithParamInterface<std::tuple<ReadWay, bool>> {};

TEST_P(TlsStreamHangup, TcpCloseWithoutCloseNotifyIsAFailureNotAGoodbye) {
    const auto [way, inside_record] = GetParam();
    Connect();
    UseWay(way);
    client_->Send("data");
    if (inside_record) client_->SendRaw(PartOfARecord(*client_));
    client_->Hangup();
    const auto [delivered, why] = ReadUntilClosed();
    EXPECT_EQ(delivered, "data");
    EXPECT_NE(why, kGoodbyeText);
}

INSTANTIATE_TEST_SUITE_P(ReadWays, TlsStreamHangup,
                         ::testing::Combine(::testing::Values(ReadWay::kPolling, ReadWay::kBlocking,
                                                              ReadWay::kMixed, ReadWay::kTryRead),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<ReadWay, bool>>& param) {
                             return WayName(std::get<0>(param.param)) + (std::get<1>(param.param)
                                                                             ? "_InsideARecord"
                                                                             : "_BetweenRecords");
                         });

TEST_F(TlsStreamTest, RenegotiationIsRefusedAndEndsTheConnectionAfterTheDataBeforeIt) {
    Connect();
    // Records both ways first, so the refusal is sealed with a sequence number past zero.
    const std::vector<std::string> messages = SmallMessages(20);
    for (const std::string& message : messages) server_->Write(message, kWait);
    ExpectSameBytes(Joined(messages), client_->Receive(Joined(messages).size()));
    auto client = std::async(std::launch::async, [c = client_.get()] {
        c->Send("before");
        SSL_renegotiate(c->ssl());
        const int rc = SSL_do_handshake(c->ssl());
        const int reason = ERR_GET_REASON(ERR_peek_error());
        ERR_clear_error();
        try {
            c->Send("after");
        } catch (const std::runtime_error&) {
            // The connection is gone, as expected.
        }
        return std::pair(rc, reason);
    });

    const auto [delivered, why] = ReadUntilClosed();
    EXPECT_EQ(delivered, "before");
    EXPECT_NE(why, kGoodbyeText);
    const auto [rc, reason] = client.get();
    EXPECT_NE(rc, 1);
    // The server's no_renegotiation warning reached the client, readable under the keys.
    EXPECT_EQ(reason, SSL_R_NO_RENEGOTIATION);
}

// --- What clients may send and OpenSSL's own client never does -------------------------------

class TlsStreamSplitFinished
    : public TlsStreamTest,
      public ::testing::WithParamInterface<std::tuple<const char*, size_t>> {};

// TLS lets a handshake message span records; a stream that assumed the Finished message came
// as record 0 alone would misnumber every record after it.
TEST_P(TlsStreamSplitFinished, HandshakeCompletesAndRecordsFlowBothWays) {
    const auto [suite, cut] = GetParam();
    Connect({.suite = suite, .finished_cut = cut});
    const std::vector<std::string> messages = SmallMessages(20);
    for (const std::string& message : messages) client_->Send(message);
    ExpectSameBytes(Joined(messages), ReadExactly(Joined(messages).size()));
    for (const std::string& message : messages) server_->Write(message, kWait);
    ExpectSameBytes(Joined(messages), client_->Receive(Joined(messages).size()));
}

INSTANTIATE_TEST_SUITE_P(
    SuitesAndCuts, TlsStreamSplitFinished,
    ::testing::Combine(::testing::ValuesIn(kAeadSuites),
                       // inside the message header, right after it, before the last byte
                       ::testing::Values(size_t{1}, size_t{4}, size_t{15})),
    [](const ::testing::TestParamInfo<std::tuple<const char*, size_t>>& param) {
        return SuiteName(std::get<0>(param.param)) + "_Cut" +
               std::to_string(std::get<1>(param.param));
    });

// An alert from the client, and what OpenSSL makes of it.
struct AlertCase {
    const char* name;
    uint8_t level;
    uint8_t description;
    bool ignored;       // data after it still comes through
    bool goodbye;       // the read ends as after a goodbye, not a failure
    const char* reply;  // how the client sees the server end the connection
    bool resumable;     // the session survives the connection
};

void PrintTo(const AlertCase& c, std::ostream* out) { *out << c.name; }

const AlertCase kAlerts[] = {
    {"WarningCloseNotify", 1, 0, false, true, "close_notify", true},
    {"WarningUserCanceled", 1, 90, true, true, "close_notify", true},
    // close_notify is a goodbye only as a warning; at the fatal level it is a failure like
    // any other fatal alert: nothing is answered and the session is forgotten.
    {"FatalCloseNotify", 2, 0, false, false, "no alert", false},
    {"FatalInternalError", 2, 80, false, false, "no alert", false},
    // A level the protocol does not define is answered with illegal_parameter (47).
    {"LevelZero", 0, 0, false, false, "alert 47", false},
    {"LevelThree", 3, 0, false, false, "alert 47", false},
    {"LevelThreeUserCanceled", 3, 90, false, false, "alert 47", false},
};

class TlsStreamAlert : public TlsStreamTest,
                       public ::testing::WithParamInterface<std::tuple<const char*, AlertCase>> {
};

TEST_P(TlsStreamAlert, IsAnsweredAsOpenSslDoes) {
    const auto& [suite, c] = GetParam();
    Connect({.suite = suite});
    client_->Send("before");
    ASSERT_EQ(ReadExactly(6), "before");
    const SessionPtr session = client_->Session();
    const char alert[] = {static_cast<char>(c.level), static_cast<char>(c.description)};
    // "before" took number 1.
    client_->SendRaw(client_->Forger().Seal(qvtest::kAlertRecord, std::string_view(alert, 2), 2));
    if (c.ignored) {
        client_->Seal("number 2, taken by the alert");
        client_->Send("after");
        EXPECT_EQ(ReadExactly(5), "after");
        client_->SayGoodbye();
    }

    const auto [delivered, why] = ReadUntilClosed();
    EXPECT_EQ(delivered, "");
    EXPECT_EQ(why == kGoodbyeText, c.goodbye) << why;
    server_->Close();
    EXPECT_EQ(client_->Ending(), c.reply);

    Connect({.suite = suite, .session = session.get()});
    EXPECT_EQ(client_->Resumed(), c.resumable);
}

INSTANTIATE_TEST_SUITE_P(
    SuitesAndAlerts, TlsStreamAlert,
    ::testing::Combine(::testing::Values(kAes128Gcm, kChacha), ::testing::ValuesIn(kAlerts)),
    [](const ::testing::TestParamInfo<std::tuple<const char*, AlertCase>>& param) {
        return SuiteName(std::get<0>(param.param)) + "_" + std::get<1>(param.param).name;
    });

// --- Waits -----------------------------------------------------------------------------------

class TlsStreamDeadline : public TlsStreamTest,
                          public ::testing::WithParamInterface<std::tuple<bool, bool>> {};

TEST_P(TlsStreamDeadline, ReadPastItsDeadlineTimesOut) {
    const auto [blocking_io, part_sent] = GetParam();
    Connect();
    if (blocking_io) server_->UseBlockingIo(kWait);
    if (part_sent) client_->SendRaw(PartOfARecord(*client_));
    char buffer[64];
    EXPECT_THROW(server_->Read(buffer, sizeof buffer, transport::SteadyClock::now() + 200ms),
                 StreamTimeout);
}

INSTANTIATE_TEST_SUITE_P(Modes, TlsStreamDeadline,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<bool, bool>>& param) {
                             return std::string(std::get<0>(param.param) ? "BlockingIo"
                                                                         : "Polling") +
                                    (std::get<1>(param.param) ? "_PartOfARecord" : "_Nothing");
                         });

class TlsStreamAbort : public TlsStreamTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TlsStreamAbort, AbortFromAnotherThreadWakesAReadWithoutDeadline) {
    Connect();
    server_->UseBlockingIo(kWait);
    if (GetParam()) client_->SendRaw(PartOfARecord(*client_));
    // The pause only makes it likely that the read blocks first; either order must end it.
    std::thread aborter([s = server_.get()] {
        std::this_thread::sleep_for(100ms);
        s->Abort();
    });
    char buffer[64];
    EXPECT_THROW(server_->Read(buffer, sizeof buffer, Deadline()), ConnectionClosed);
    aborter.join();
}

INSTANTIATE_TEST_SUITE_P(Pending, TlsStreamAbort, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "PartOfARecord" : "Nothing";
                         });

class TlsStreamStall : public TlsStreamTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TlsStreamStall, WriteToAClientThatReadsNothingTimesOut) {
    constexpr auto kStall = 300ms;
    Connect();
    if (GetParam()) server_->UseBlockingIo(kStall);
    // More than loopback buffers on both sides can hold.
    const std::string lots(64 << 20, 'x');
    EXPECT_THROW(server_->Write(lots, kStall), StreamTimeout);
}

INSTANTIATE_TEST_SUITE_P(Modes, TlsStreamStall, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "BlockingIo" : "Polling";
                         });

}  // namespace
