#include "requests/transaction_records.h"

#include <chrono>

#include "platform/clock.h"
#include "requests/transaction_result.h"

namespace requests {
namespace {

using results::TRecordState;
using results::TResultRecord;
using results::TResultStoreError;

constexpr int64_t kSecondsPerDay = 86400;

}  // namespace

TTransactionRecords::TTransactionRecords(Log log) : log_(std::move(log)) {}

TTransactionRecords::~TTransactionRecords() = default;

int64_t TTransactionRecords::Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               platform::SystemNow().time_since_epoch())
        .count();
}

void TTransactionRecords::LogFailure(const std::string& request_id, const std::exception& e) {
    log_("Erro no registro de resultados (request_id " + request_id + "): " + e.what());
}

void TTransactionRecords::Open(const std::string& path, int retention_days) {
    try {
        store_ = std::make_unique<results::TResultStore>(path);
    } catch (const TResultStoreError& e) {
        log_("Erro ao abrir o registro de resultados " + path + ": " + e.what() +
             ". Transações com request_id serão recusadas.");
        return;
    }
    // Nothing runs yet: whatever is open was left by an earlier run.
    Settle(nullptr);
    try {
        const int deleted = store_->DeleteDoneBefore(Now() - retention_days * kSecondsPerDay);
        if (deleted > 0)
            log_("Registro de resultados: " + std::to_string(deleted) +
                 " resultado(s) com mais de " + std::to_string(retention_days) +
                 " dia(s) apagado(s).");
    } catch (const TResultStoreError& e) {
        log_(std::string("Erro ao apagar resultados antigos: ") + e.what());
    }
}

TTransactionRecords::TLookup TTransactionRecords::Find(const std::string& request_id) {
    if (!store_) throw TResultStoreError("registro de resultados indisponível");
    std::lock_guard lock(mutex_);
    std::optional<TResultRecord> record;
    try {
        record = store_->Find(request_id);
    } catch (const TResultStoreError& e) {
        LogFailure(request_id, e);
        throw;
    }
    if (!record) return {};
    if (record->state == TRecordState::kDone) return {TLookup::Kind::kResult, record->result};
    if (running_ == request_id) return {TLookup::Kind::kRunning, ""};
    return {TLookup::Kind::kUnfinished, ""};
}

TTransactionRecords::TBegin TTransactionRecords::Begin(const std::string& request_id) {
    if (!store_) return TBegin::kUnavailable;
    std::lock_guard lock(mutex_);
    try {
        if (!store_->Begin(request_id, Now())) return TBegin::kRecorded;
    } catch (const TResultStoreError& e) {
        LogFailure(request_id, e);
        return TBegin::kUnavailable;
    }
    running_ = request_id;
    return TBegin::kStarted;
}

void TTransactionRecords::End() {
    std::lock_guard lock(mutex_);
    running_.reset();
}

bool TTransactionRecords::Confirming(const std::string& request_id,
                                     const results::TFiscalFunction& function,
                                     const std::string& approved, const std::string& unconfirmed) {
    try {
        if (store_->MarkConfirming(request_id, function, approved, unconfirmed, Now())) return true;
        log_("Registro de resultados: request_id " + request_id + " não estava em andamento.");
    } catch (const TResultStoreError& e) {
        LogFailure(request_id, e);
    }
    return false;
}

bool TTransactionRecords::Finish(const std::string& request_id, TRecordState from,
                                 const std::string& result) {
    try {
        return store_->Finish(request_id, from, result, Now());
    } catch (const TResultStoreError& e) {
        LogFailure(request_id, e);
    }
    return false;
}

void TTransactionRecords::Settle(const TLibrary* library) {
    if (!store_) return;
    std::lock_guard lock(mutex_);
    std::vector<TResultRecord> unfinished;
    try {
        unfinished = store_->Unfinished();
    } catch (const TResultStoreError& e) {
        log_(std::string("Erro ao ler transações interrompidas: ") + e.what());
        return;
    }
    for (const TResultRecord& record : unfinished) {
        if (record.request_id != running_) SettleRecord(record, library);
    }
}

void TTransactionRecords::SettleRecord(const TResultRecord& record, const TLibrary* library) {
    if (record.state == TRecordState::kRunning) {
        Conclude(record, NegativeResult(false), "unauthorized");
        return;
    }
    if (library == nullptr) return;
    const results::TFiscalFunction function{record.document, record.fiscal_date,
                                            record.fiscal_time};
    int32_t pending = -1;
    try {
        pending = library->pending(function);
    } catch (const std::exception& e) {
        log_("Transação " + record.request_id + " interrompida sem resultado: " + e.what());
        return;
    }
    if (pending < 0) {
        log_("Transação " + record.request_id +
             " interrompida sem resultado: a consulta de pendências do TEF retornou " +
             std::to_string(pending) + ".");
        return;
    }
    if (pending == 0) {
        Conclude(record, record.approved, "approved");
        return;
    }
    try {
        library->undo(function);
    } catch (const std::exception& e) {
        // Still never confirmed: the library undoes it on its own.
        log_("Transação " + record.request_id + ": erro ao desfazer: " + e.what());
    }
    Conclude(record, record.unconfirmed, "canceled");
}

void TTransactionRecords::Conclude(const TResultRecord& record, const std::string& result,
                                   const char* status) {
    try {
        if (store_->Finish(record.request_id, record.state, result, Now()))
            log_("Transação " + record.request_id + " interrompida: resultado \"" + status +
                 "\" registrado.");
    } catch (const TResultStoreError& e) {
        LogFailure(record.request_id, e);
    }
}

}  // namespace requests
