#include "store/TTableAdapter.h"

#include "store/ETableError.h"
#include "store/TTableEnv.h"
#include "tables/TableEngine.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr int FoxProDriver = 2;
constexpr long MemoSizeHint = 8192;

} // namespace

// Makes the adapter's work area current for the scope and restores the previous one.
class TTableAdapter::AreaScope {
public:
    AreaScope(qp::tables::TableEngine& engine, int area)
        : engine_(engine), previous_(engine.Select(area)) {}
    ~AreaScope() {
        if (previous_ > 0) {
            engine_.Select(previous_);
        }
    }
    AreaScope(const AreaScope&) = delete;
    AreaScope& operator=(const AreaScope&) = delete;

private:
    qp::tables::TableEngine& engine_;
    int previous_;
};

// One field value waiting for Post, as the engine's PutString takes it.
struct TTableAdapter::PendingWrite {
    std::string field;
    std::string value;
};

TTableAdapter::TTableAdapter(TTableEnv& env) : env_(env) {}

TTableAdapter::~TTableAdapter() {
    if (Active()) {
        AreaScope scope(Engine(), area_);
        Engine().Close();
    }
}

qp::tables::TableEngine& TTableAdapter::Engine() {
    return env_.Engine();
}

void TTableAdapter::Check(int result) {
    if (result < 0) {
        throw ETableError(result, Engine().LastErrorText());
    }
}

void TTableAdapter::RequireActive() const {
    if (!Active()) {
        throw ETableError(qp::tables::tbeNotOpen, "The table " + TablePath() + " is not open");
    }
}

void TTableAdapter::RequireCurrent() const {
    RequireActive();
    if (current_ == 0) {
        throw ETableError(qp::tables::tbeNoRecord,
                          "The table " + TablePath() + " has no current record");
    }
}

void TTableAdapter::PositionOnCurrent() {
    Check(Engine().Go(current_));
}

void TTableAdapter::TakeEnginePosition() {
    current_ = Engine().Eof() ? 0 : Engine().RecNo();
}

void TTableAdapter::Notify() {
    if (disableCount_ > 0) {
        changedWhileDisabled_ = true;
        return;
    }
    // Observers may remove themselves while being called.
    const auto observers = observers_;
    for (const auto& [id, observer] : observers) {
        observer();
    }
}

// ---- Location ---------------------------------------------------------------------------

void TTableAdapter::SetDatabaseName(const std::string& folder) {
    folder_ = folder;
}

void TTableAdapter::SetTableName(const std::string& fileName) {
    tableName_ = fileName;
}

std::string TTableAdapter::TablePath() const {
    return folder_ + tableName_;
}

// ---- Creating ---------------------------------------------------------------------------

bool TTableAdapter::CreateNew(const std::string& path, int fieldCount) {
    return Engine().CreateNew(path, "XXXXXXXXXX", FoxProDriver, fieldCount) != 0;
}

void TTableAdapter::CreateField(const std::string& name, const std::string& type, int width,
                                int decimals) {
    Check(Engine().CreateField(name, type, width, decimals));
}

bool TTableAdapter::CreateExec() {
    const bool written = Engine().CreateExec() != 0;
    return written;
}

// ---- Opening and closing ----------------------------------------------------------------

void TTableAdapter::Open() {
    OpenArea(false);
}

void TTableAdapter::OpenRepairingIndex() {
    OpenArea(true);
}

void TTableAdapter::OpenArea(bool repairIndex) {
    if (Active()) {
        return;
    }
    if (!env_.Available()) {
        throw ETableError(qp::tables::tbeOpenFailed, "The table engine is not available");
    }
    const int previous = Engine().CurrentArea();
    const int area = repairIndex ? Engine().UseAndReindex(TablePath())
                                 : Engine().Use(TablePath(), "", 0, FoxProDriver);
    openNotes_ = area > 0 ? Engine().LastErrorText() : std::string();
    if (area <= 0) {
        if (previous > 0) {
            Engine().Select(previous);
        }
        throw ETableError(Engine().LastError() < 0 ? Engine().LastError()
                                                   : qp::tables::tbeOpenFailed,
                          Engine().LastErrorText());
    }
    area_ = area;
    state_ = State::Browse;
    pending_.clear();
    {
        AreaScope scope(Engine(), area_);
        if (!filter_.empty()) {
            Check(Engine().Query(filter_));
        }
        Engine().GoTop();
        TakeEnginePosition();
    }
    if (previous > 0) {
        Engine().Select(previous);
    }
    Notify();
}

void TTableAdapter::AddOpenNote(const std::string& note) {
    openNotes_ += (openNotes_.empty() ? "" : "; ") + note;
}

void TTableAdapter::Close() {
    if (!Active()) {
        return;
    }
    {
        AreaScope scope(Engine(), area_);
        Engine().Close();
    }
    area_ = 0;
    current_ = 0;
    state_ = State::Inactive;
    pending_.clear();
    Notify();
}

// ---- Indexes ------------------------------------------------------------------------------

void TTableAdapter::IndexTag(const std::string& tag, const std::string& condition, int option,
                             bool unique, const std::string& key) {
    RequireActive();
    AreaScope scope(Engine(), area_);
    Check(Engine().IndexTag("", tag, condition, option, unique, key));
    if (current_ != 0) {
        Engine().Go(current_);
    }
    Notify();
}

int TTableAdapter::TagArea(const std::string& tag) {
    RequireActive();
    AreaScope scope(Engine(), area_);
    return Engine().TagArea(tag);
}

void TTableAdapter::SetOrder(int tag) {
    RequireActive();
    AreaScope scope(Engine(), area_);
    Check(Engine().SetOrder(tag));
    Notify();
}

int TTableAdapter::IndexOrd() {
    if (!Active()) {
        return 0;
    }
    AreaScope scope(Engine(), area_);
    return Engine().IndexOrd();
}

void TTableAdapter::CloseIndexes() {
    RequireActive();
    AreaScope scope(Engine(), area_);
    Check(Engine().CloseIndexes());
    Notify();
}

// ---- Filter -------------------------------------------------------------------------------

void TTableAdapter::SetFilter(const std::string& condition) {
    filter_ = condition;
    if (!Active()) {
        return;
    }
    AreaScope scope(Engine(), area_);
    Check(Engine().Query(filter_));
    if (current_ != 0) {
        Engine().Go(current_);
    }
    Notify();
}

// ---- Counting and positioning -----------------------------------------------------------

long TTableAdapter::QueryRecCount() {
    if (!Active()) {
        return 0;
    }
    AreaScope scope(Engine(), area_);
    return Engine().QueryRecCount();
}

long TTableAdapter::RecCount() {
    if (!Active()) {
        return 0;
    }
    AreaScope scope(Engine(), area_);
    return Engine().RecCount();
}

long TTableAdapter::RecNo() {
    return current_ != 0 ? current_ : RecCount() + 1;
}

void TTableAdapter::Go(long recno) {
    RequireActive();
    AreaScope scope(Engine(), area_);
    Check(Engine().Go(recno));
    if (Engine().DeletedSetting() && Engine().Deleted()) {
        throw ETableError(qp::tables::tbeNoRecord,
                          "Record " + std::to_string(recno) + " of " + TablePath() + " is deleted");
    }
    current_ = recno;
    Notify();
}

void TTableAdapter::First() {
    RequireActive();
    AreaScope scope(Engine(), area_);
    Engine().GoTop();
    TakeEnginePosition();
    Notify();
}

void TTableAdapter::Last() {
    RequireActive();
    AreaScope scope(Engine(), area_);
    Engine().GoBottom();
    TakeEnginePosition();
    Notify();
}

bool TTableAdapter::MoveBy(long count) {
    RequireCurrent();
    AreaScope scope(Engine(), area_);
    PositionOnCurrent();
    Engine().Skip(count);
    if (Engine().Eof() || Engine().Bof()) {
        return false;
    }
    current_ = Engine().RecNo();
    Notify();
    return true;
}

// ---- Rows ---------------------------------------------------------------------------------

long TTableAdapter::RowCount() {
    return QueryRecCount();
}

long TTableAdapter::RecordOfRow(long row) {
    if (!Active() || row < 0) {
        return 0;
    }
    AreaScope scope(Engine(), area_);
    if (Engine().GoKey(row + 1) < 0 || Engine().Eof()) {
        return 0;
    }
    return Engine().RecNo();
}

long TTableAdapter::CurrentRow() {
    if (!Active() || current_ == 0) {
        return -1;
    }
    AreaScope scope(Engine(), area_);
    if (Engine().Go(current_) < 0) {
        return -1;
    }
    return Engine().KeyNo() - 1;
}

void TTableAdapter::SelectRecord(long recno) {
    if (Active() && recno > 0) {
        current_ = recno;
    }
}

// ---- Fields -------------------------------------------------------------------------------

std::vector<TTableAdapter::FieldDef> TTableAdapter::Fields() {
    RequireActive();
    AreaScope scope(Engine(), area_);
    std::vector<FieldDef> fields;
    const int count = Engine().FieldCount();
    for (int i = 1; i <= count; ++i) {
        const qp::tables::FieldInfo info = Engine().Field(i);
        fields.push_back({info.name, info.type, info.width, info.decimals});
    }
    return fields;
}

std::vector<std::string> TTableAdapter::ReadValues(long recno,
                                                   const std::vector<std::string>& fields) {
    std::vector<std::string> values(fields.size());
    if (!Active() || recno <= 0) {
        return values;
    }
    AreaScope scope(Engine(), area_);
    if (Engine().Go(recno) < 0) {
        return values;
    }
    auto& engine = Engine();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const int number = engine.FieldNumber(fields[i]);
        switch (engine.FieldType(number)) {
        case 'L':
            values[i] = engine.GetLogical(number) ? "T" : "F";
            break;
        case 'D':
            values[i] = engine.GetDateString(number);
            break;
        case 'N': {
            std::string text = engine.GetString(number);
            text.erase(0, text.find_first_not_of(' '));
            values[i] = text;
            break;
        }
        default:
            values[i] = engine.GetString(number);
            break;
        }
    }
    return values;
}

std::string TTableAdapter::FieldString(const std::string& field) {
    RequireCurrent();
    return ReadValues(current_, {field}).front();
}

bool TTableAdapter::FieldLogical(const std::string& field) {
    return FieldString(field) == "T";
}

std::string TTableAdapter::FieldDate(const std::string& field) {
    return FieldString(field);
}

// ---- Editing --------------------------------------------------------------------------------

void TTableAdapter::Edit() {
    RequireCurrent();
    if (state_ == State::Browse) {
        pending_.clear();
        state_ = State::Edit;
    }
}

void TTableAdapter::Append() {
    RequireActive();
    pending_.clear();
    state_ = State::Insert;
}

void TTableAdapter::SetFieldString(const std::string& field, const std::string& value) {
    pending_.push_back({field, value});
}

void TTableAdapter::SetFieldLogical(const std::string& field, bool value) {
    pending_.push_back({field, value ? "T" : "F"});
}

void TTableAdapter::SetFieldDate(const std::string& field, const std::string& yyyymmdd) {
    pending_.push_back({field, yyyymmdd});
}

void TTableAdapter::SetFieldNumber(const std::string& field, double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value); // the same number read back
    pending_.push_back({field, text});
}

void TTableAdapter::Post() {
    RequireActive();
    if (state_ != State::Edit && state_ != State::Insert) {
        return;
    }
    AreaScope scope(Engine(), area_);
    // The buffer is dropped whatever happens: a failed write is reported once.
    qp::tables::TableEngine::FieldValues values;
    for (auto& pending : std::exchange(pending_, {})) {
        values.emplace_back(std::move(pending.field), std::move(pending.value));
    }
    const bool inserting = state_ == State::Insert;
    state_ = State::Browse;
    // The whole record is written at once, and only when every value can be stored; a
    // record whose write cannot be completed is taken back.
    if (inserting) {
        const long before = Engine().RecCount();
        Check(Engine().AppendValues(values));
        current_ = Engine().RecNo();
        if (Engine().Commit() < 0) {
            const ETableError failure(Engine().LastError(), Engine().LastErrorText());
            Engine().DropRecordsAfter(before);
            Engine().Commit();
            current_ = 0;
            Notify();
            throw failure;
        }
    } else {
        PositionOnCurrent();
        const std::string before = Engine().GetRecord();
        Check(Engine().PutValues(values));
        if (Engine().Commit() < 0) {
            const ETableError failure(Engine().LastError(), Engine().LastErrorText());
            Engine().PutRecord(before);
            Engine().Commit();
            throw failure;
        }
    }
    Notify();
}

void TTableAdapter::Cancel() {
    pending_.clear();
    if (state_ == State::Edit || state_ == State::Insert) {
        state_ = State::Browse;
    }
}

void TTableAdapter::Delete() {
    RequireCurrent();
    AreaScope scope(Engine(), area_);
    PositionOnCurrent();
    const long position = Engine().KeyNo();
    Check(Engine().Delete());
    Check(Engine().Commit());
    pending_.clear();
    state_ = State::Browse;
    // The row that followed now has the deleted record's position.
    if (position > 0 && Engine().GoKey(position) >= 0 && !Engine().Eof()) {
        current_ = Engine().RecNo();
    } else if (position > 1 && Engine().GoKey(position - 1) >= 0 && !Engine().Eof()) {
        current_ = Engine().RecNo();
    } else {
        Engine().GoTop();
        TakeEnginePosition();
    }
    Notify();
}

void TTableAdapter::Refresh() {
    if (!Active()) {
        return;
    }
    AreaScope scope(Engine(), area_);
    const bool visible = current_ != 0 && Engine().Go(current_) >= 0 &&
                         !(Engine().DeletedSetting() && Engine().Deleted());
    if (!visible) {
        Engine().GoTop();
        TakeEnginePosition();
    }
    Notify();
}

// ---- Memos ----------------------------------------------------------------------------------

bool TTableAdapter::BlobToFile(const std::string& field, const std::string& fileName) {
    if (!Active() || current_ == 0) {
        return false;
    }
    AreaScope scope(Engine(), area_);
    if (Engine().Go(current_) < 0) {
        return false;
    }
    return Engine().BlobToFile(field, fileName) != 0;
}

void TTableAdapter::Replace(const std::string& field, const std::string& fileName) {
    const bool editing = state_ == State::Edit || state_ == State::Insert;
    if (editing) {
        Post();
    }
    RequireCurrent();
    {
        AreaScope scope(Engine(), area_);
        PositionOnCurrent();
        Check(Engine().Replace(field, MemoSizeHint, fileName));
        Check(Engine().Commit());
    }
    Refresh();
    if (editing) {
        Edit();
    }
}

// ---- Maintenance ----------------------------------------------------------------------------

void TTableAdapter::Pack() {
    RequireActive();
    AreaScope scope(Engine(), area_);
    Check(Engine().Pack());
    Engine().GoTop();
    TakeEnginePosition();
    Notify();
}

// ---- Observers ------------------------------------------------------------------------------

int TTableAdapter::AddObserver(Observer observer) {
    const int id = nextObserverId_++;
    observers_.emplace_back(id, std::move(observer));
    return id;
}

void TTableAdapter::RemoveObserver(int id) {
    std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void TTableAdapter::DisableControls() {
    ++disableCount_;
}

void TTableAdapter::EnableControls() {
    if (disableCount_ > 0 && --disableCount_ == 0 && changedWhileDisabled_) {
        changedWhileDisabled_ = false;
        Notify();
    }
}
