// Print and PrintData: "/print" checks the request, the configuration and the print
// program's files, writes the document to a temporary file in the application folder and
// queues it. A queued document gets no reply; everything after queueing is the queue's.
#include <optional>

#include "platform/file_system.h"
#include "printing/base64.h"
#include "printing/print_document.h"
#include "printing/print_program.h"
#include "requests/dm_sitef.h"
#include "service/quorvex_sitef_service.h"

namespace requests {
namespace {

constexpr const char* kPdfFileType = "pdf";

// The configuration or the program files that stop a print before the document is written:
// the reply, or nothing when all is in place.
std::optional<std::string> MissingPrintSetup(service::TQuorvexSiTefService& service) {
    if (service::PrinterName(service.iniConfig()).empty()) return "Impressora não definida.";
    if (!platform::FileExists(service.AppDir() + printing::kPrintProgramName))
        return "SumatraPDF não localizado.";
    if (!platform::FileExists(service.AppDir() + printing::kPrintLibraryName))
        return "libmupdf.dll não localizado.";
    return std::nullopt;
}

// Decodes the Base64 document and writes it to its temporary file; the file's path.
std::string ConvertPrintData(const std::string& folder, const std::string& file_type,
                             std::string_view data) {
    return printing::WritePrintDocument(
        folder, file_type, printing::DecodeBase64(printing::WithoutDataUrlPrefix(data)));
}

// "data" as the field reader gives it, trimmed. A string, the usual case and megabytes
// long, is viewed where the parser holds it instead of being copied; `storage` keeps the
// text of any other kind of value.
std::string_view DataField(simdjson::dom::object request, std::string& storage) {
    simdjson::dom::element value;
    std::string_view text;
    if (!request.at_key("data").get(value) && !value.get_string().get(text))
        return printing::TrimBlanks(text);
    storage = GetField(request, "data");
    return printing::TrimBlanks(storage);
}

// Hands the file to the print queue, which prints and deletes it. While the service stops
// there is no queue: the file goes and the request fails.
void QueuePrintFile(service::TQuorvexSiTefService& service, const std::string& file) {
    const bool queued = service.PrintQueue().Use([&](printing::TPrintQueue& queue) {
        queue.SetPrintSettings(printing::kSettingsNoScale);
        queue.AddToQueue(file);
    });
    if (queued) return;
    platform::DeleteFile(file);
    throw RequestError("Fila de impressão indisponível.");
}

}  // namespace

void TDmSitef::Print(const TClientRequest& pContent) {
    std::string storage;
    std::string_view data;
    try {
        if (pContent.Field("type") != "print") {
            pContent.ReplyError("Campo type diferente de print.");
            return;
        }
        data = DataField(pContent.Object(), storage);
    } catch (const RequestError& e) {
        pContent.ReplyError(e.what());
        return;
    }
    if (data.empty()) {
        pContent.ReplyError("Campo \"data\" não foi preenchido.");
        return;
    }
    try {
        const std::string file_type = pContent.Field("file_type");
        if (file_type != kPdfFileType) {
            pContent.ReplyError("Tipo do arquivo inválido. Valor permitido [pdf]");
            return;
        }
        PrintData(pContent, file_type, data);
    } catch (const std::exception& e) {
        pContent.ReplyError(std::string("Erro ao imprimir: ") + e.what());
    }
}

void TDmSitef::PrintData(const TClientRequest& pRequest, const std::string& pFileType,
                         std::string_view pData) {
    if (std::optional<std::string> missing = MissingPrintSetup(service_)) {
        pRequest.ReplyError(*missing);
        return;
    }
    std::string file;
    try {
        file = ConvertPrintData(service_.AppDir(), pFileType, pData);
    } catch (const std::exception& e) {
        const std::string message = std::string("Erro na conversão do arquivo: ") + e.what();
        service_.GravaLog(message);
        pRequest.ReplyError(message);
    }
    if (file.empty() || !platform::FileExists(file)) {
        pRequest.ReplyError("Arquivo convertido não localizado.");
        return;
    }
    QueuePrintFile(service_, file);
}

}  // namespace requests
