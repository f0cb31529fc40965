#include "print_cups.h"

#include <cups/cups.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Failures carry the reason up to the exported function, which turns it into its result.
struct PrintFailure {
    std::string reason;
};

[[noreturn]] void Fail(const std::string& what) {
    throw PrintFailure{what + ": " + cupsLastErrorString()};
}

// Options owned for the length of one job.
class JobOptions {
public:
    JobOptions(const QvPrintOption* options, int count) {
        for (int i = 0; i < count; ++i)
            count_ = cupsAddOption(options[i].name, options[i].value, count_, &options_);
    }
    JobOptions(const JobOptions&) = delete;
    JobOptions& operator=(const JobOptions&) = delete;
    ~JobOptions() { cupsFreeOptions(count_, options_); }

    int count() const { return count_; }
    cups_option_t* options() const { return options_; }

private:
    int count_ = 0;
    cups_option_t* options_ = nullptr;
};

void CheckPrinterExists(const char* printer) {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, printer, nullptr);
    if (dest == nullptr) Fail(std::string("impressora \"") + printer + "\" não encontrada");
    cupsFreeDests(1, dest);
}

void SendDocument(const char* printer, int job, const char* path, const char* title) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw PrintFailure{std::string("não foi possível ler ") + path};
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, printer, job, title, CUPS_FORMAT_PDF, 1) !=
        HTTP_STATUS_CONTINUE)
        Fail("início do documento recusado");
    std::vector<char> buffer(65536);
    while (file.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
           file.gcount() > 0) {
        if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, buffer.data(),
                                 static_cast<size_t>(file.gcount())) != HTTP_STATUS_CONTINUE)
            Fail("envio do documento interrompido");
    }
    if (file.bad()) throw PrintFailure{std::string("falha ao ler ") + path};
    if (cupsFinishDocument(CUPS_HTTP_DEFAULT, printer) != IPP_STATUS_OK) Fail("documento recusado");
}

int PrintPdf(const char* printer, const char* path, const char* title, const QvPrintOption* options,
             int option_count) {
    CheckPrinterExists(printer);
    JobOptions job_options(options, option_count);
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, printer, title, job_options.count(),
                                  job_options.options());
    if (job == 0) Fail("trabalho de impressão recusado");
    try {
        SendDocument(printer, job, path, title);
    } catch (const PrintFailure&) {
        cupsCancelJob2(CUPS_HTTP_DEFAULT, printer, job, 0);
        throw;
    }
    return job;
}

void CopyReason(const std::string& text, char* reason, size_t reason_size) {
    if (reason == nullptr || reason_size == 0) return;
    const size_t n = std::min(text.size(), reason_size - 1);
    std::memcpy(reason, text.data(), n);
    reason[n] = '\0';
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int QvPrintPdf(
    const char* printer, const char* path, const char* title, const QvPrintOption* options,
    int option_count, char* reason, size_t reason_size) {
    try {
        return PrintPdf(printer, path, title, options, option_count);
    } catch (const PrintFailure& failure) {
        CopyReason(failure.reason, reason, reason_size);
    } catch (const std::exception& e) {
        CopyReason(e.what(), reason, reason_size);
    }
    return 0;
}
