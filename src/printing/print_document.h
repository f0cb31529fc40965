// A document sent for printing, on its way to the queue: the Base64 text as the client
// sends it (possibly behind a data-URL prefix) and the temporary file it is written to,
// "<n>_Temp.<file type>" in the application folder with n a random number below 9999999.
#pragma once

#include <string>
#include <string_view>

namespace printing {

// `text` without the blanks and control characters (bytes up to 32) around it.
std::string_view TrimBlanks(std::string_view text);

// `data` without a data-URL prefix ("data:application/pdf;base64,"): everything after the
// first ",", or all of it when there is none.
std::string_view WithoutDataUrlPrefix(std::string_view data);

// Writes `bytes` to a new temporary file in `folder` (with a trailing separator) and returns
// its path. A name already in use is never overwritten (it may be a document still waiting
// to be printed): another number is drawn. Raises std::system_error with the system's
// reason when the file cannot be written; nothing is left behind then.
std::string WritePrintDocument(const std::string& folder, const std::string& file_type,
                               std::string_view bytes);

}  // namespace printing
