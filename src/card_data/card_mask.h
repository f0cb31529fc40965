// The one rule for card data in the text the service keeps (the TEF trace, the service log,
// the health report's last error, standard error, the results database, the TEF records):
//
//  - an answer typed at a prompt the payment library marks as card data is masked by its
//    field type: the card number (512) keeps its first 6 and last 4 digits
//    ("411111******1111"); the expiry date (513), the security code (514), a password (500,
//    or an entry whose prompt asks for a "senha") become "***", which tells nothing, not even
//    the length;
//  - every line is scanned as well: a run of 13 to 19 digits (single blanks or hyphens
//    between them allowed) that passes the Luhn check is a card number wherever it stands (a
//    response record, a receipt line, a message) and is masked the same way, its separators
//    kept. Amounts, NSUs, dates, document and terminal numbers are shorter runs or fail the
//    check; a 14-digit run that reads as a date and time (yyyymmddhhnnss, the library's time
//    stamps) is no card number either and is left alone.
//
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace card_data {

// Field types of the library's prompts that carry card data or secrets.
inline constexpr int kPasswordField = 500;
inline constexpr int kCardNumberField = 512;
inline constexpr int kExpiryField = 513;
inline constexpr int kSecurityCodeField = 514;

// What a secret entry is written as.
inline constexpr std::string_view kSecretMask = "***";

// The answer to a prompt of `field_type`, as it may be written: masked when the field
// carries card data or a secret, as it stands otherwise. `prompt` is the prompt's text when
// the operator typed the answer in (empty otherwise): one that asks for a "senha" (any
// letter case) makes the entry a secret whatever its field type. An empty answer stays empty.
std::string MaskAnswer(int field_type, std::string_view prompt, std::string_view answer);

// `number` with every digit starred except its first 6 and its last 4; other characters
// stay. A number of fewer than 13 digits is no card number that may be shown in part: every
// digit is starred.
std::string MaskCardNumber(std::string_view number);

// The Luhn check of a string of digits (nothing else in it).
bool LuhnValid(std::string_view digits);

// Masks, in place, every card number the scan finds in `text` (a line, or several); each
// masked digit becomes '*', so the length and every other byte stay. True when it masked
// something.
bool MaskCardNumbers(std::string& text);

// The same on a copy.
std::string MaskedCardNumbers(std::string_view text);

}  // namespace card_data
