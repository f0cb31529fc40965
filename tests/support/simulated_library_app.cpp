// Apart from the copy itself, so that unit tests that only copy the library do not link the
// application folder's launcher.
#include "support/app_folder.h"
#include "support/simulated_library.h"

namespace qvtest {

void InstallSimulatedLibrary(AppFolder& app, const std::string& scenario) {
    InstallSimulatedLibrary(app.path(), app.windows());
    app.PutFile("scenario.json", scenario);
    app.SetEnv("QV_CLISITEF_SCENARIO", app / "scenario.json");
    app.SetEnv("QV_CLISITEF_JOURNAL", app / "journal.log");
    app.SetEnv("QV_CLISITEF_POLL_MS", "0");
}

}  // namespace qvtest
