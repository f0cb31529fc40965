// What the print queue relies on from the print program (tools/print-pdf): its file names
// in the application folder, the two command lines it accepts and what its exit codes mean.
// The program prints one PDF silently on the named printer, keeps its own files in the
// folder given by -data-dir and exits when the job is handed over.
#pragma once

#include <string>

namespace printing {

// The program and the library it cannot run without, both beside the service executable: on
// Windows the PDF program the shops install, on Linux ours (tools/print-pdf). Build settings,
// as the payment library's name is (CMakeLists.txt).
inline constexpr const char* kPrintProgramName = QV_PRINT_PROGRAM;
inline constexpr const char* kPrintLibraryName = QV_PRINT_LIBRARY;

// The options, in the order the program expects them.
inline constexpr const char* kOptionPrintTo = "-print-to";
inline constexpr const char* kOptionPrintSettings = "-print-settings";
inline constexpr const char* kOptionSilent = "-silent";
inline constexpr const char* kOptionExitWhenDone = "-exit-when-done";
inline constexpr const char* kOptionDataDir = "-data-dir";

// Values of -print-settings: scale each page to the paper, or print it at its own size.
inline constexpr const char* kSettingsFit = "fit";
inline constexpr const char* kSettingsNoScale = "noscale";

// 0 and 2 mean printed; 3 means the print settings were not understood (nothing printed).
// Any other code is a failure.
inline constexpr int kExitPrinted = 0;
inline constexpr int kExitPrintedToo = 2;
inline constexpr int kExitSettingsRefused = 3;

inline bool IsPrintSuccess(int exit_code) {
    return exit_code == kExitPrinted || exit_code == kExitPrintedToo;
}

// "program" -print-to "printer" -print-settings "settings" -silent -exit-when-done
// -data-dir "folder" "pdf", every value in double quotes; without the -print-settings pair
// when `settings` is empty.
std::string PrintCommandLine(const std::string& program, const std::string& printer,
                             const std::string& settings, const std::string& data_dir,
                             const std::string& pdf);

}  // namespace printing
