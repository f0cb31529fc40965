#include "support/private_cups.h"

#include <filesystem>
#include <stdexcept>

#include "platform/file_system.h"
#include "support/app_folder.h"

namespace qvtest {
namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";

// A printer that takes PDF and passes it through untouched (gziptoany copies what is not
// compressed), so the file device receives the document as it was sent.
constexpr const char* kPpd = R"ppd(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "QVTEST.PPD"
*Manufacturer: "Quorvex"
*Product: "(Test File Printer)"
*ModelName: "Quorvex Test File Printer"
*ShortNickName: "Quorvex Test File Printer"
*NickName: "Quorvex Test File Printer"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsFilter: "application/pdf 0 gziptoany"
*OpenUI *PageSize: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: ""
*CloseUI: *PageSize
*DefaultImageableArea: A4
*ImageableArea A4/A4: "0 0 595 842"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
)ppd";

void Write(const std::string& path, const std::string& text) {
    if (!platform::WriteFile(path, text)) throw std::runtime_error("cannot write " + path);
}

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

}  // namespace

PrivateCups::PrivateCups() : socket_(folder_ / "run/cups.sock") {
    if (!platform::FileExists(kCupsd))
        throw std::runtime_error(std::string(kCupsd) +
                                 " is missing: scripts/setup.sh installs cups-daemon");
    WriteConfiguration();
    cupsd_ = std::make_unique<ChildProcess>(
        kCupsd,
        std::vector<std::string>{"-f", "-c", folder_ / "etc/cupsd.conf", "-s",
                                 folder_ / "etc/cups-files.conf"},
        std::map<std::string, std::string>{}, folder_ / "log/cupsd-output");
    const bool listening = WaitUntil(
        [&] {
            return !cupsd_->Running() || (platform::FileExists(folder_ / "run/cupsd.pid") &&
                                          std::filesystem::exists(socket_));
        },
        std::chrono::seconds(20));
    if (!listening || !cupsd_->Running())
        throw std::runtime_error("cupsd did not start:\n" +
                                 platform::ReadFile(folder_ / "log/cupsd-output").value_or("") +
                                 ErrorLog());
}

PrivateCups::~PrivateCups() { cupsd_.reset(); }

void PrivateCups::WriteConfiguration() const {
    // Run as root, cupsd hands jobs to its filters under an unprivileged account, which must
    // reach the spool below this folder.
    std::filesystem::permissions(folder_.path(), std::filesystem::perms(0755));
    for (const char* dir : {"etc/ppd", "spool/tmp", "cache", "run", "log", "out"})
        std::filesystem::create_directories(folder_ / dir);
    Write(folder_ / "etc/cupsd.conf",
          "Listen " + socket_ +
              "\nLogLevel debug\nWebInterface No\nBrowsing Off\nDefaultAuthType None\n"
              "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
              "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");
    Write(folder_ / "etc/cups-files.conf",
          "ServerRoot " + folder_ / "etc" + "\nRequestRoot " + folder_ / "spool" + "\nTempDir " +
              folder_ / "spool/tmp" + "\nCacheDir " + folder_ / "cache" + "\nStateDir " +
              folder_ / "run" + "\nAccessLog " + folder_ / "log/access_log" + "\nErrorLog " +
              folder_ / "log/error_log" + "\nPageLog " + folder_ / "log/page_log" +
              "\nFileDevice Yes\n");
    Write(folder_ / "etc/printers.conf",
          std::string("<Printer ") + kPrinter + ">\nInfo Quorvex test printer\nDeviceURI file://" +
              OutputFile() + "\nState Idle\nAccepting Yes\nShared No\n</Printer>\n");
    Write(folder_ / "etc/ppd/" + kPrinter + ".ppd", kPpd);
}

std::string PrivateCups::ErrorLog() const {
    return platform::ReadFile(folder_ / "log/error_log").value_or("");
}

bool PrivateCups::WaitForCompletedJobs(int count, std::chrono::milliseconds timeout) const {
    return WaitUntil(
        [&] { return Occurrences(ErrorLog(), "] Job completed.") >= static_cast<size_t>(count); },
        timeout);
}

}  // namespace qvtest
