// The answers of a static file server for the demo page: GET and HEAD of files below one
// folder, nothing outside it, each file with the content type a browser runs it as (ES
// modules only run when served as JavaScript).
#pragma once

#include <string>
#include <string_view>

namespace qvweb {

struct HttpAnswer {
    int status = 200;
    std::string head;  // status line and headers, ending with the blank line
    std::string body;  // empty for HEAD
};

// The answer to the request whose head (request line and headers) is `request`, from the
// files below `root` (which ends with a separator). "/" and paths ending in "/" name the
// folder's index.html; a path with "..", a backslash, a colon or a NUL, once decoded, is
// answered 404 like a missing file.
HttpAnswer Answer(std::string_view request, const std::string& root);

}  // namespace qvweb
