// The record-line parser and the typed views of a value: any text as one line of a TEF record
// (as a backup file holds it) and, after a NUL byte, a value as the payment library returns
// it, stored in a CliSiTef response under the line's identifier.
#include <cstdint>
#include <string>

#include "support/require.h"
#include "tef/linha.h"
#include "tef/resp_clisitef.h"

namespace {

using qvfuzz::Require;
using tef::AnsiString;
using tef::TKaCliSiTefInformacao;

// A line made from a key and a value parses back into the same numbers and value (keys of
// the records hold no negative numbers and sequences of three digits).
void CheckLine(const tef::TKaCliSiTefLinha& parsed, const AnsiString& value) {
    if (parsed.Identificacao() < 0 || parsed.Sequencia() < 0 || parsed.Sequencia() > 999) return;
    tef::TKaCliSiTefLinha linha;
    linha.SetLinha(tef::MakeKey(parsed.Identificacao(), parsed.Sequencia()) + " = " + value);
    Require(linha.Identificacao() == parsed.Identificacao() &&
                linha.Sequencia() == parsed.Sequencia() && linha.Informacao().AsString() == value,
            "a line made from its parts parses back");
}

// What a typed view reads, written through the same view, reads the same again.
template <typename Read, typename Write>
void CheckView(const TKaCliSiTefInformacao& informacao, Read read, Write write, const char* what) {
    const auto value = read(informacao);
    TKaCliSiTefInformacao copy;
    write(copy, value);
    Require(read(copy) == value, what);
}

void CheckViews(const TKaCliSiTefInformacao& v) {
    using I = TKaCliSiTefInformacao;
    CheckView(
        v, [](const I& i) { return i.AsInteger(); }, [](I& i, int32_t x) { i.SetAsInteger(x); },
        "AsInteger");
    CheckView(
        v, [](const I& i) { return i.AsMoney(); }, [](I& i, tef::Money x) { i.SetAsMoney(x); },
        "AsMoney");
    CheckView(
        v, [](const I& i) { return i.AsFloat(); }, [](I& i, double x) { i.SetAsFloat(x); },
        "AsFloat");
    CheckView(
        v, [](const I& i) { return i.AsDate(); }, [](I& i, double x) { i.SetAsDate(x); }, "AsDate");
    CheckView(
        v, [](const I& i) { return i.AsTime(); }, [](I& i, double x) { i.SetAsTime(x); }, "AsTime");
    CheckView(
        v, [](const I& i) { return i.AsTimeStamp(); }, [](I& i, double x) { i.SetAsTimeStamp(x); },
        "AsTimeStamp");
    CheckView(
        v, [](const I& i) { return i.AsTimeStampSQL(); },
        [](I& i, double x) { i.SetAsTimeStampSQL(x); }, "AsTimeStampSQL");
}

// A value of the library is stored escaped on one line and comes back unchanged.
void CheckStored(int identificacao, const AnsiString& value) {
    const AnsiString escaped = tef::EscapeRecordValue(value);
    Require(escaped.find_first_of("\r\n") == std::string::npos, "an escaped value is one line");
    Require(tef::UnescapeRecordValue(escaped) == value, "escaping is undone exactly");
    tef::TKaCliSiTefRespCliSiTef resp;
    resp.GravaInformacao(identificacao, value);
    resp.GravaInformacao(identificacao, value);
    const int sequencia = identificacao == 141 || identificacao == 142 ? 2 : 0;
    if (value.empty()) return;
    const AnsiString stored = resp.LeInformacao(identificacao, sequencia).AsString();
    Require(tef::UnescapeRecordValue(stored) == value, "a stored value reads back");
    resp.ConteudoToProperty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [line, value] = qvfuzz::SplitAtNul(qvfuzz::AsText(data, size));
    tef::TKaCliSiTefLinha parsed;
    parsed.SetLinha(AnsiString(line));
    CheckLine(parsed, AnsiString(value));
    CheckViews(parsed.Informacao());
    CheckStored(parsed.Identificacao(), AnsiString(value));
    return 0;
}
