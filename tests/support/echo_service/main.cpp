// The service with a message handler that answers every message on the connection that sent
// it, for the tests and benchmarks of the transport. A few messages ask the handler to use the
// thread-bound entry points of the listener:
//   "/wait-input <ms>"  → "input:true" or "input:false" (TServerThread::WaitForInput)
//   "/read-next"        → reads the next message itself and answers "next:" + that message
//   "/connected"        → "connected:true" or "connected:false"
// Every ended connection logs "Echo: conexão encerrada".
#include <memory>
#include <string>

#include "service/service_application.h"
#include "transport/server_thread.h"

namespace {

using transport::TServerThread;

class EchoMessageHandler : public transport::MessageHandler {
public:
    explicit EchoMessageHandler(service::TQuorvexSiTefService& service) : service_(service) {}

    void OnMessage(const std::string& text, transport::ClientChannel& client) override {
        client.SendText(Answer(text));
    }

    void OnDisconnect(transport::ClientChannel&) override {
        service_.GravaLog("Echo: conexão encerrada");
    }

private:
    static std::string Answer(const std::string& text) {
        if (text.starts_with("/wait-input ")) {
            const bool input = TServerThread::WaitForInput(std::stoi(text.substr(12)));
            return input ? "input:true" : "input:false";
        }
        if (text == "/read-next") {
            std::string next;
            TServerThread::DecodeWebSocketFrame(next);
            return "next:" + next;
        }
        if (text == "/connected") {
            return TServerThread::IsConnected() ? "connected:true" : "connected:false";
        }
        return text;
    }

    service::TQuorvexSiTefService& service_;
};

}  // namespace

int main(int argc, char** argv) {
    return service::RunServiceProcess(argc, argv, [](service::TQuorvexSiTefService& service) {
        return std::make_unique<EchoMessageHandler>(service);
    });
}
