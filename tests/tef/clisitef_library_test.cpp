#include "tef/clisitef_library.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/paths.h"
#include "support/temp_folder.h"
#include "tef/errors.h"

namespace {

using tef::TCliSiTefEntryPoints;
using tef::TCliSiTefLibrary;

const std::string kLibrary = tef::kCliSiTefLibraryName;

// The stand-ins' folders in the build tree.
std::string FakeDir() { return qvtest::BuildDir() + QV_FAKE_CLISITEF_DIR; }
std::string PartialDir() { return qvtest::BuildDir() + QV_FAKE_CLISITEF_PARTIAL_DIR; }

// The path the library is loaded from, in `folder`.
std::string InFolder(const std::string& folder) {
    return platform::IncludeTrailingSeparator(folder) + kLibrary;
}

// Which entry points are resolved, in the order of the table.
std::vector<bool> Resolved(const TCliSiTefEntryPoints& e) {
    return {e.ConfiguraIntSiTefInterativoEx != nullptr,
            e.IniciaFuncaoSiTefInterativo != nullptr,
            e.LeTrilha3 != nullptr,
            e.LeCartaoSeguro != nullptr,
            e.LeCartaoDiretoSeguro != nullptr,
            e.LeCartaoDiretoEx != nullptr,
            e.ContinuaFuncaoSiTefInterativo != nullptr,
            e.FinalizaFuncaoSiTefInterativo != nullptr,
            e.FinalizaTransacaoSiTefInterativo != nullptr,
            e.EscreveMensagemPermanentePinPad != nullptr,
            e.ObtemQuantidadeTransacoesPendentes != nullptr,
            e.VerificaPresencaPinPad != nullptr};
}

std::string LoadError(TCliSiTefLibrary& library, const std::string& folder) {
    try {
        library.Load(folder);
    } catch (const tef::EKaCliSiTef& e) {
        return e.what();
    }
    return "no error";
}

TEST(CliSiTefLibrary, ResolvesAllExportsAndCallsThroughThem) {
    TCliSiTefLibrary library;
    // Blanks around the folder and a missing trailing separator are both tolerated.
    library.Load("  " + FakeDir() + "  ");
    ASSERT_TRUE(library.IsLoaded());
    EXPECT_EQ(library.Path(), InFolder(FakeDir()));
    EXPECT_EQ(Resolved(library.EntryPoints()), std::vector<bool>(12, true));

    const TCliSiTefEntryPoints& e = library.EntryPoints();
    EXPECT_EQ(e.ConfiguraIntSiTefInterativoEx("127.0.0.1", "00000000", "SE000001", 0, "[];"), 0);
    EXPECT_EQ(e.IniciaFuncaoSiTefInterativo(0, "12,34", "1", "20251126", "114841", "", ""), 10000);
    EXPECT_EQ(e.VerificaPresencaPinPad(), 1);
    EXPECT_EQ(e.EscreveMensagemPermanentePinPad("CAF\xC9"), 4);  // one byte per letter
    EXPECT_EQ(e.ObtemQuantidadeTransacoesPendentes("20251126", "7"), 1007);
    EXPECT_EQ(e.LeCartaoDiretoEx(nullptr, nullptr, nullptr, 5, 0), 5);

    int32_t comando = 0, tipo_campo = 0;
    int16_t minimo = 0, maximo = 0;
    std::string buffer(tef::kCliSiTefBufferSize, '\0');
    buffer.replace(0, 1, "2");
    EXPECT_EQ(e.ContinuaFuncaoSiTefInterativo(&comando, &tipo_campo, &minimo, &maximo,
                                              buffer.data(), tef::kCliSiTefBufferSize, -1),
              9999);
    EXPECT_EQ(std::string(buffer.c_str()), "1:A Vista;2:Parcelado;2");
    EXPECT_EQ(comando, 21);
    EXPECT_EQ(tipo_campo, 505);
    EXPECT_EQ(minimo, 1);
    EXPECT_EQ(maximo, 2);
}

TEST(CliSiTefLibrary, ReleaseForgetsEveryEntryPoint) {
    TCliSiTefLibrary library;
    library.Load(FakeDir() + platform::kPathSeparator);
    EXPECT_EQ(library.Path(), InFolder(FakeDir()));
    library.Release();
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_TRUE(library.Path().empty());
    EXPECT_EQ(Resolved(library.EntryPoints()), std::vector<bool>(12, false));
    // Loading again after a release resolves everything anew.
    library.Load(FakeDir());
    EXPECT_EQ(library.EntryPoints().VerificaPresencaPinPad(), 1);
}

TEST(CliSiTefLibrary, MissingLibraryNamesTheFirstExport) {
    qvtest::TempFolder empty;
    TCliSiTefLibrary library;
    EXPECT_EQ(LoadError(library, empty.path()),
              "Erro ao carregar a função:ConfiguraIntSiTefInterativoEx de: " +
                  std::string(tef::kCliSiTefLibraryName));
    // The loader's own reason names the file it looked for.
    EXPECT_NE(library.LoadFailure().find(InFolder(empty.path())), std::string::npos)
        << library.LoadFailure();
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(Resolved(library.EntryPoints()), std::vector<bool>(12, false));
}

TEST(CliSiTefLibrary, LibraryLackingAnExportNamesIt) {
    TCliSiTefLibrary library;
    EXPECT_EQ(LoadError(library, PartialDir()),
              "Erro ao carregar a função:FinalizaTransacaoSiTefInterativo de: " +
                  std::string(tef::kCliSiTefLibraryName));
    EXPECT_EQ(library.LoadFailure(), "") << "the library itself loaded";
    // Resolution stops at the missing export; those before it stay until the release.
    std::vector<bool> expected(12, false);
    for (size_t i = 0; i < 8; ++i) expected[i] = true;
    EXPECT_EQ(Resolved(library.EntryPoints()), expected);
    EXPECT_EQ(library.EntryPoints().FinalizaFuncaoSiTefInterativo(1, "", "", "", ""), 1);

    // A second attempt keeps what was resolved and fails on the same export.
    auto kept = library.EntryPoints().IniciaFuncaoSiTefInterativo;
    EXPECT_EQ(LoadError(library, PartialDir()),
              "Erro ao carregar a função:FinalizaTransacaoSiTefInterativo de: " +
                  std::string(tef::kCliSiTefLibraryName));
    EXPECT_EQ(library.EntryPoints().IniciaFuncaoSiTefInterativo, kept);

    library.Release();
    EXPECT_EQ(Resolved(library.EntryPoints()), std::vector<bool>(12, false));
}

}  // namespace
