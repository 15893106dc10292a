#include "store/TTableEnv.h"

#include "tables/TableEngine.h"

#include <iostream>

namespace {

constexpr int TrimmedStrings = 1;
constexpr int ErrorsAsResults = 1;

} // namespace

TTableEnv::TTableEnv() : engine_(std::make_unique<qp::tables::TableEngine>()) {
    engine_->SetStringType(TrimmedStrings);
    engine_->ErrorLevel(ErrorsAsResults);
    available_ = !engine_->Version().empty();
    if (!available_) {
        std::cerr << "The table engine did not report a version; table access is not possible.\n";
    }
}

TTableEnv::~TTableEnv() = default;

TTableEnv& TTableEnv::Instance() {
    static TTableEnv env;
    return env;
}

qp::tables::TableEngine& TTableEnv::Engine() {
    return *engine_;
}

void TTableEnv::SetDeleted(bool on) {
    engine_->SetDeleted(on);
}

bool TTableEnv::Deleted() const {
    return engine_->DeletedSetting();
}

int TTableEnv::SysProp(int property, int value) {
    return engine_->SysProp(property, value);
}

void TTableEnv::Shutdown() {
    engine_->CloseAll();
}
