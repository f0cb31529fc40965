// Decoding of standard Base64 text (RFC 4648: "A-Z a-z 0-9 + /", "=" padding) as documents
// arrive in print requests: line breaks and blanks anywhere are skipped, and the final
// padding may be left out. Anything else that is not Base64 is an error, never skipped.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace printing {

// Text that is not Base64; the message says what and where (Portuguese, for the client).
class Base64Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The bytes `text` encodes. CR, LF and spaces are skipped. Raises Base64Error for another
// character outside the alphabet, for "=" followed by more data, for more than two "=" and
// for a length no encoding produces (one character left over).
std::string DecodeBase64(std::string_view text);

}  // namespace printing
