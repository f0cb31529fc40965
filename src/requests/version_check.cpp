// CheckFileVersion: the installed version of the service or of the payment library, and the
// record of a newer version announced by the client.
#include "platform/file_version.h"
#include "platform/paths.h"
#include "requests/dm_sitef.h"
#include "requests/json_writer.h"
#include "requests/version_text.h"
#include "service/quorvex_sitef_service.h"
#include "tef/clisitef_abi.h"

namespace requests {
namespace {

std::string InstalledVersion(const std::string& file) {
    auto version = platform::ReadFileVersion(file);
    return version ? FormatVersion(*version) : kVersionNotFound;
}

}  // namespace

std::string TDmSitef::LibraryFolder() const { return service_.AppDir() + "dll/"; }

std::string TDmSitef::LibraryFileForVersion() const {
    // Once a session start has named the library's folder, the library there is the one that
    // runs; until then the bare name is looked up where the loader's search starts: the
    // executable's folder.
    const std::string folder = library_folder_set_ ? LibraryFolder() : service_.AppDir();
    return folder + tef::kCliSiTefLibraryName;
}

void TDmSitef::CheckFileVersion(const TClientRequest& pContent) {
    if (!pContent.HasType("version", "Campo type diferente de version.")) return;
    try {
        std::string category = pContent.Field("category");
        std::string installed;
        if (category == "service_exe") {
            installed = InstalledVersion(platform::ExecutablePath());
        } else if (category == "clisitef_dll") {
            installed = InstalledVersion(LibraryFileForVersion());
        } else {
            pContent.ReplyError(
                "Categoria inválida. Valores permitidos [service_exe, clisitef_dll]");
            return;
        }
        bool updating = false;
        if (pContent.Has("version") && pContent.Has("download_url")) {
            service_.GravaLog("Validando versão..");
            std::string download_url = pContent.Field("download_url");
            std::string announced = pContent.Field("version");
            updating = IsNewerVersion(ParseVersionText(announced), ParseVersionText(installed));
            if (updating) {
                service_.GravaLog("Nova versão encontrada: " + announced);
                service::WriteAnnouncedVersion(service_.iniConfig(), true, download_url, announced);
            } else {
                service_.GravaLog("Nenhuma versão nova encontrada, versão atual: " + installed);
                service::WriteAnnouncedVersion(service_.iniConfig(), false, "", "");
            }
        }
        pContent.Reply(JsonObject()
                           .Add("type", "version")
                           .Add("category", category)
                           .Add("version", installed)
                           .Add("updating", updating)
                           .ToString());
    } catch (const std::exception& e) {
        pContent.ReplyError(e.what());
    }
}

}  // namespace requests
