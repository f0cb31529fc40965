#include "certificate_folder.h"

#include <optional>
#include <stdexcept>

#include "local_certificates.h"
#include "platform/file_system.h"
#include "platform/private_files.h"

namespace qvcert {
namespace {

const char* const kFiles[] = {kCaFile, kServerCertFile, kServerKeyFile};

std::vector<std::string> PresentFiles(const std::string& dir) {
    std::vector<std::string> present;
    for (const char* name : kFiles)
        if (platform::FileExists(FolderFile(dir, name))) present.push_back(name);
    return present;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

struct CertificateFile {
    std::string path;
    std::string bytes;
    bool secret;  // readable by its owner only
};

platform::FileStatus Write(const std::string& path, const std::string& bytes, bool secret,
                           bool replace) {
    std::optional<platform::PrivateFiles> private_files;
    if (secret) private_files.emplace();
    platform::FileStatus status = replace ? platform::WriteFile(path, bytes, /*durable=*/true)
                                          : platform::CreateNewFile(path, bytes);
    if (status && secret) {
        status = platform::KeepPrivate(path);
        // A new key nobody may keep to themselves is not left behind.
        if (!status && !replace) platform::DeleteFile(path);
    }
    return status;
}

// New files only: a file that appeared meanwhile stops the write, and what this call created
// is removed again, so the folder never holds a key of one pair and a certificate of another.
void CreateAll(const std::vector<CertificateFile>& files) {
    std::vector<std::string> created;
    for (const auto& [path, bytes, secret] : files) {
        const platform::FileStatus status = Write(path, bytes, secret, /*replace=*/false);
        if (!status) {
            for (const std::string& done : created) platform::DeleteFile(done);
            throw std::runtime_error(status.Message());
        }
        created.push_back(path);
    }
}

void ReplaceAll(const std::vector<CertificateFile>& files) {
    for (const auto& [path, bytes, secret] : files)
        Write(path, bytes, secret, /*replace=*/true).ThrowIfFailed();
}

}  // namespace

std::string FolderFile(const std::string& dir, const char* name) {
    if (dir.empty()) return name;
    const char last = dir.back();
    return last == '/' || last == '\\' ? dir + name : dir + "/" + name;
}

FolderOutcome FillCertificateFolder(const std::string& dir, bool replace) {
    if (!replace) {
        const std::vector<std::string> present = PresentFiles(dir);
        if (present.size() == std::size(kFiles)) return FolderOutcome::kKept;
        if (!present.empty())
            throw std::runtime_error(dir + " holds " + Joined(present) +
                                     " but not all three certificate files; nothing written "
                                     "(--force replaces them)");
    }
    const platform::FileStatus folder = platform::ForceDirectories(dir);
    if (!folder) throw std::runtime_error(folder.Message());

    const LocalCertificates made = MakeLocalCertificates();
    // The key first and the CA last: a reader that finds the CA finds a complete folder.
    const std::vector<CertificateFile> files = {
        {FolderFile(dir, kServerKeyFile), made.server_key_pem, true},
        {FolderFile(dir, kServerCertFile), made.server_cert_pem, false},
        {FolderFile(dir, kCaFile), made.ca_cert_pem, false},
    };
    if (replace)
        ReplaceAll(files);
    else
        CreateAll(files);
    return FolderOutcome::kWritten;
}

}  // namespace qvcert
