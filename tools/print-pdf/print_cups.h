// The C interface of libquorvexprint.so, the part of the print program that talks to the
// print system (CUPS). The program cannot start without it.
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

struct QvPrintOption {
    const char* name;
    const char* value;
};

// Sends the PDF file at `path` as one job named `title` to the CUPS queue `printer`, with
// `options` (job attributes such as print-scaling=none), through the server the CUPS client
// settings name (CUPS_SERVER, client.conf). Returns the job id once the server holds the
// whole document; 0 on failure, with a one-line reason in `reason` (NUL-terminated,
// truncated to `reason_size`). A job that was created but not completed is cancelled.
int QvPrintPdf(const char* printer, const char* path, const char* title,
               const struct QvPrintOption* options, int option_count, char* reason,
               size_t reason_size);

#ifdef __cplusplus
}
#endif
