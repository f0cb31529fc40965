#include "support/sample_pdf.h"

#include <openssl/evp.h>

#include <cstdio>
#include <random>
#include <vector>

namespace qvtest {
namespace {

std::string RandomBytes(size_t size) {
    std::mt19937 random(4711);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

std::string Stream(const std::string& dictionary, const std::string& data) {
    return "<< " + dictionary + "/Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
           "\nendstream";
}

}  // namespace

std::string SamplePdf(const std::string& text, size_t padding) {
    const std::string content = "BT /F1 24 Tf 72 720 Td (" + text + ") Tj ET";
    std::vector<std::string> objects{
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        Stream("", content),
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    if (padding > 0) objects.push_back(Stream("", RandomBytes(padding)));

    std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char entry[21];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

std::string Base64Encode(const std::string& bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    text.resize(static_cast<size_t>(n));
    return text;
}

}  // namespace qvtest
