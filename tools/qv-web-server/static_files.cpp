#include "static_files.h"

#include <optional>
#include <vector>

#include "platform/file_system.h"

namespace qvweb {
namespace {

struct Type {
    std::string_view extension;
    std::string_view content_type;
};

constexpr Type kTypes[] = {
    {".html", "text/html; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".mjs", "text/javascript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".json", "application/json; charset=utf-8"},
    {".svg", "image/svg+xml"},
    {".png", "image/png"},
    {".ico", "image/x-icon"},
    {".txt", "text/plain; charset=utf-8"},
};

std::string_view ContentType(std::string_view path) {
    for (const Type& type : kTypes) {
        if (path.size() >= type.extension.size() &&
            path.substr(path.size() - type.extension.size()) == type.extension)
            return type.content_type;
    }
    return "application/octet-stream";
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX decoded; nothing when an escape is malformed.
std::optional<std::string> Decoded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

// The file below `root` that `target` names, or nothing when it names none there.
std::optional<std::string> FileFor(std::string_view target, const std::string& root) {
    target = target.substr(0, target.find_first_of("?#"));
    if (target.empty() || target.front() != '/') return std::nullopt;
    std::optional<std::string> path = Decoded(target.substr(1));
    if (!path || path->find_first_of(std::string_view("\\:\0", 3)) != std::string::npos)
        return std::nullopt;
    if (path->empty() || path->back() == '/') *path += "index.html";
    size_t start = 0;
    while (start <= path->size()) {
        const size_t slash = std::min(path->find('/', start), path->size());
        const std::string_view segment(path->data() + start, slash - start);
        if (segment == ".." || segment == ".") return std::nullopt;
        start = slash + 1;
    }
    std::string file = root + *path;
    if (!platform::FileExists(file)) return std::nullopt;
    return file;
}

HttpAnswer Plain(int status, std::string_view reason, std::string body) {
    HttpAnswer answer;
    answer.status = status;
    answer.head = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) +
                  "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                  std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    answer.body = std::move(body);
    return answer;
}

}  // namespace

HttpAnswer Answer(std::string_view request, const std::string& root) {
    const size_t line_end = request.find("\r\n");
    const std::string_view line = request.substr(0, line_end);
    const size_t first = line.find(' ');
    const size_t second = line.find(' ', first == std::string_view::npos ? first : first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos)
        return Plain(400, "Bad Request", "bad request\n");
    const std::string_view method = line.substr(0, first);
    if (method != "GET" && method != "HEAD")
        return Plain(405, "Method Not Allowed", "method not allowed\n");
    const std::optional<std::string> file =
        FileFor(line.substr(first + 1, second - first - 1), root);
    const platform::FileContents contents =
        file ? platform::ReadFile(*file) : platform::FileContents(std::string());
    if (!file || !contents) return Plain(404, "Not Found", "not found\n");

    HttpAnswer answer;
    answer.head = "HTTP/1.1 200 OK\r\nContent-Type: " + std::string(ContentType(*file)) +
                  "\r\nContent-Length: " + std::to_string(contents->size()) +
                  "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n"
                  "Connection: close\r\n\r\n";
    if (method == "GET") answer.body = *contents;
    return answer;
}

}  // namespace qvweb
