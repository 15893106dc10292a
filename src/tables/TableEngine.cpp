#include "tables/TableEngine.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tables/CodePage.h"
#include "tables/DbfFile.h"
#include "tables/EngineFile.h"
#include "tables/FileOps.h"
#include "tables/MemoFile.h"
#include "tables/TableFault.h"
#include "tables/WorkArea.h"

namespace qp::tables {

namespace {

constexpr char kVersion[] = "Quillpost table engine 2.40.00";

std::string TrimRight(const std::string& s) {
    size_t end = s.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

std::string Trim(const std::string& s) {
    size_t start = s.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : TrimRight(s.substr(start));
}

bool IsCalendarDate(int year, int month, int day) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

// The 8 bytes a date field stores for "YYYYMMDD" (blanks for an empty date).
std::string DateBytes(const WorkArea& area, const FieldInfo& f, const std::string& text) {
    std::string date = Trim(text);
    if (date.empty())
        return std::string(8, ' ');
    const bool digits =
        date.size() == 8 && date.find_first_not_of("0123456789") == std::string::npos;
    const auto number = [&](size_t at, size_t length) {
        int value = 0;
        for (size_t i = at; i < at + length; ++i)
            value = value * 10 + (date[i] - '0');
        return value;
    };
    if (!digits || !IsCalendarDate(number(0, 4), number(4, 2), number(6, 2)))
        throw TableFault(tbeBadArgument, "Table " + area.Path() + ": \"" + text +
                                             "\" is not a date YYYYMMDD for field " + f.name);
    return date;
}

// The bytes a numeric field stores for `value`: right-aligned with the field's decimals.
// A value that does not fit (or is not finite) is refused rather than stored as stars.
std::string NumberBytes(const WorkArea& area, const FieldInfo& f, double value) {
    char text[400];
    if (std::isfinite(value)) {
        std::snprintf(text, sizeof text, "%*.*f", f.width, f.decimals, value);
        if (int(std::strlen(text)) <= f.width)
            return text;
    }
    std::snprintf(text, sizeof text, "%g", value);
    throw TableFault(tbeBadArgument, "Table " + area.Path() + ": " + text +
                                         " does not fit the numeric field " + f.name + " (" +
                                         std::to_string(f.width) + " characters, " +
                                         std::to_string(f.decimals) + " decimals)");
}

// The bytes field `f` stores for `value` as PutString takes it (memos: the memo's bytes).
std::string FieldBytesFor(const WorkArea& area, const FieldInfo& f, const std::string& value) {
    switch (f.type) {
    case 'C':
    case 'M':
        return area.Text().Encode(value);
    case 'D':
        return DateBytes(area, f, value);
    case 'L': {
        std::string t = Trim(value);
        bool on = !t.empty() && std::string("TtYy1").find(t[0]) != std::string::npos;
        return t.empty() ? " " : on ? "T" : "F";
    }
    case 'N': {
        std::string t = Trim(value);
        if (t.empty())
            return std::string();
        char* end = nullptr;
        double v = std::strtod(t.c_str(), &end);
        if (end == t.c_str() || *end != '\0')
            throw TableFault(tbeBadArgument, "Table " + area.Path() + ": \"" + value +
                                                 "\" is not a number for field " + f.name);
        return NumberBytes(area, f, v);
    }
    default:
        throw TableFault(tbeBadArgument,
                         "Table " + area.Path() + ": field " + f.name + " cannot be written");
    }
}

} // namespace

struct TableEngine::State {
    WorkArea::Environment env;
    int stringType = 1;
    int errorLevel = 0;
    std::map<int, std::unique_ptr<WorkArea>> areas;
    int current = 0;
    int lastError = 0;
    std::string lastErrorText;

    struct Creation {
        std::string path;
        int expected = 0;
        std::vector<FieldInfo> fields;
        bool started = false;
    } creation;

    void Clear() {
        lastError = 0;
        lastErrorText.clear();
    }
    int Record(TableError code, const std::string& text) {
        lastError = code;
        lastErrorText = text;
        return code;
    }
    WorkArea& Area() {
        auto it = areas.find(current);
        if (it == areas.end())
            throw TableFault(tbeNotOpen,
                             "No table is open in work area " + std::to_string(current));
        return *it->second;
    }
    int FieldOf(WorkArea& area, const std::string& name) {
        int field = area.FieldNumber(name);
        if (field == 0)
            throw TableFault(tbeBadArgument,
                             "Table " + area.Path() + ": there is no field \"" + name + "\"");
        return field;
    }

    // Runs `fn`; a failure is recorded and gives `failure`.
    template <typename Result, typename Fn>
    Result Guard(Result failure, Fn&& fn) {
        Clear();
        try {
            return fn();
        } catch (const TableFault& fault) {
            Record(fault.Code(), fault.what());
        } catch (const std::bad_alloc&) {
            Record(tbeIo, "Out of memory");
        } catch (const std::exception& e) {
            Record(tbeIo, e.what());
        }
        return failure;
    }
    // Runs `fn`; gives 0, or the code of the failure.
    template <typename Fn>
    int Code(Fn&& fn) {
        Guard<int>(-1, [&] {
            fn();
            return 0;
        });
        return lastError;
    }
};

TableEngine::TableEngine() : state_(std::make_unique<State>()) {}
TableEngine::~TableEngine() {
    CloseAll();
}

// ---- Environment ------------------------------------------------------------------

int TableEngine::SetStringType(int type) {
    int previous = state_->stringType;
    state_->stringType = type;
    return previous;
}

int TableEngine::ErrorLevel(int level) {
    int previous = state_->errorLevel;
    state_->errorLevel = level;
    return previous;
}

std::string TableEngine::Version() const {
    return kVersion;
}
int TableEngine::SysProp(int, int) {
    return 0;
}

bool TableEngine::SetDeleted(bool on) {
    bool previous = state_->env.deleted;
    state_->env.deleted = on;
    return previous;
}

bool TableEngine::DeletedSetting() const {
    return state_->env.deleted;
}

int TableEngine::CloseAll() {
    return state_->Code([&] {
        std::string firstError;
        for (auto& [number, area] : state_->areas) {
            try {
                area->Commit();
            } catch (const TableFault& fault) {
                if (firstError.empty())
                    firstError = fault.what();
            }
        }
        state_->areas.clear();
        state_->current = 0;
        if (!firstError.empty())
            throw TableFault(tbeIo, firstError);
    });
}

int TableEngine::LastError() const {
    return state_->lastError;
}
const std::string& TableEngine::LastErrorText() const {
    return state_->lastErrorText;
}

// ---- Creating a table ---------------------------------------------------------------

int TableEngine::CreateNew(const std::string& path, const std::string&, int driver,
                           int fieldCount) {
    return state_->Guard<int>(0, [&] {
        if (driver != 2)
            throw TableFault(tbeBadArgument, "Cannot create " + path + ": driver " +
                                                 std::to_string(driver) + " is not supported");
        if (path.empty() || fieldCount < 1 || fieldCount > 255)
            throw TableFault(tbeBadArgument, "Cannot create \"" + path + "\": bad arguments");
        state_->creation = State::Creation{path, fieldCount, {}, true};
        return 1;
    });
}

int TableEngine::CreateField(const std::string& name, const std::string& type, int width,
                             int decimals) {
    return state_->Code([&] {
        auto& creation = state_->creation;
        if (!creation.started)
            throw TableFault(tbeBadArgument, "CreateField without CreateNew");
        FieldInfo f;
        for (char c : name)
            f.name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        f.type = type.empty()
                     ? '?'
                     : static_cast<char>(std::toupper(static_cast<unsigned char>(type[0])));
        f.width = width;
        f.decimals = decimals;
        std::string problem = DbfFile::FieldProblem(f);
        if (!problem.empty())
            throw TableFault(tbeBadArgument, "Cannot create " + creation.path + ": " + problem);
        for (const auto& other : creation.fields) {
            if (other.name == f.name)
                throw TableFault(tbeBadArgument,
                                 "Cannot create " + creation.path + ": field " + f.name + " twice");
        }
        creation.fields.push_back(f);
    });
}

int TableEngine::CreateExec() {
    return state_->Guard<int>(0, [&] {
        auto creation = std::move(state_->creation);
        state_->creation = State::Creation{};
        if (!creation.started)
            throw TableFault(tbeBadArgument, "CreateExec without CreateNew");
        if (int(creation.fields.size()) != creation.expected)
            throw TableFault(tbeBadArgument,
                             "Cannot create " + creation.path + ": " +
                                 std::to_string(creation.expected) + " fields announced, " +
                                 std::to_string(creation.fields.size()) + " defined");
        // A table some program holds open is not replaced under it: its next index or
        // memo write would no longer match the file.
        std::unique_ptr<EngineFile> holder;
        if (FileOps::Exists(creation.path))
            holder = std::make_unique<EngineFile>(
                "Table", creation.path, EngineFile::Access::kReadOnly, EngineFile::Lock::kSole);
        DbfFile::Create(creation.path, creation.fields);
        std::error_code ec;
        std::filesystem::remove(WorkArea::CompanionPath(creation.path, ".CDX"), ec);
        bool memo = false;
        for (const auto& f : creation.fields)
            memo = memo || f.type == 'M';
        if (memo)
            MemoFile::Create(WorkArea::CompanionPath(creation.path, ".FPT"));
        return 1;
    });
}

// ---- Work areas ---------------------------------------------------------------------

int TableEngine::Use(const std::string& path, const std::string&, int, int driver) {
    return state_->Guard<int>(0, [&] {
        if (driver != 2)
            throw TableFault(tbeBadArgument, "Cannot open " + path + ": driver " +
                                                 std::to_string(driver) + " is not supported");
        auto area = std::make_unique<WorkArea>(path, state_->env);
        std::string notes;
        for (const auto& note : area->Notes())
            notes += (notes.empty() ? "" : "; ") + note;
        int number = 1;
        while (state_->areas.count(number))
            ++number;
        state_->areas[number] = std::move(area);
        state_->current = number;
        state_->lastErrorText = notes; // what was repaired while opening (no failure)
        return number;
    });
}

int TableEngine::UseAndReindex(const std::string& path) {
    return state_->Guard<int>(0, [&] {
        auto area = std::make_unique<WorkArea>(path, state_->env, WorkArea::IndexMode::kRepair);
        std::string notes;
        for (const auto& note : area->Notes())
            notes += (notes.empty() ? "" : "; ") + note;
        int number = 1;
        while (state_->areas.count(number))
            ++number;
        state_->areas[number] = std::move(area);
        state_->current = number;
        if (!notes.empty())
            state_->Record(tbeCorrupt, notes);
        return number;
    });
}

int TableEngine::Close() {
    return state_->Code([&] {
        auto it = state_->areas.find(state_->current);
        if (it == state_->areas.end())
            throw TableFault(tbeNotOpen,
                             "No table is open in work area " + std::to_string(state_->current));
        std::unique_ptr<WorkArea> area = std::move(it->second);
        state_->areas.erase(it);
        area->Commit();
    });
}

int TableEngine::Select(int area) {
    int previous = state_->current;
    state_->current = area;
    return previous;
}

int TableEngine::CurrentArea() const {
    return state_->current;
}
bool TableEngine::Used() const {
    return state_->areas.count(state_->current) != 0;
}

std::string TableEngine::TablePath() const {
    auto it = state_->areas.find(state_->current);
    return it == state_->areas.end() ? std::string() : it->second->Path();
}

WorkArea* TableEngine::CurrentWorkArea() {
    auto it = state_->areas.find(state_->current);
    return it == state_->areas.end() ? nullptr : it->second.get();
}

// ---- Records and navigation -----------------------------------------------------------

long TableEngine::RecCount() {
    return state_->Guard<long>(0, [&] { return state_->Area().RecCount(); });
}

long TableEngine::RecNo() {
    return state_->Guard<long>(0, [&] { return state_->Area().RecNo(); });
}

int TableEngine::Go(long recno) {
    return state_->Code([&] { state_->Area().Go(recno); });
}
int TableEngine::GoTop() {
    return state_->Code([&] { state_->Area().GoTop(); });
}
int TableEngine::GoBottom() {
    return state_->Code([&] { state_->Area().GoBottom(); });
}
int TableEngine::Skip(long count) {
    return state_->Code([&] { state_->Area().Skip(count); });
}

bool TableEngine::Bof() {
    return state_->Guard<bool>(true, [&] { return state_->Area().Bof(); });
}

bool TableEngine::Eof() {
    return state_->Guard<bool>(true, [&] { return state_->Area().Eof(); });
}

bool TableEngine::Deleted() {
    return state_->Guard<bool>(false, [&] { return state_->Area().Deleted(); });
}

int TableEngine::AppendBlank() {
    return state_->Code([&] { state_->Area().AppendBlank(); });
}

std::string TableEngine::GetRecord() {
    return state_->Guard<std::string>({}, [&] { return state_->Area().Record(); });
}

int TableEngine::PutRecord(const std::string& record) {
    return state_->Code([&] { state_->Area().PutRecord(record); });
}

int TableEngine::Delete() {
    return state_->Code([&] { state_->Area().SetDeleted(true); });
}
int TableEngine::Recall() {
    return state_->Code([&] { state_->Area().SetDeleted(false); });
}
int TableEngine::Commit() {
    return state_->Code([&] { state_->Area().Commit(); });
}

bool TableEngine::Rlock() {
    return state_->Guard<bool>(false, [&] {
        if (!state_->Area().HasRecord())
            throw TableFault(tbeNoRecord, "Table " + state_->Area().Path() + ": no record to lock");
        return true;
    });
}

bool TableEngine::Unlock() {
    return state_->Guard<bool>(false, [&] {
        state_->Area();
        return true;
    });
}

// ---- Fields -------------------------------------------------------------------------

int TableEngine::FieldCount() {
    return state_->Guard<int>(0, [&] { return int(state_->Area().Fields().size()); });
}

FieldInfo TableEngine::Field(int field) {
    return state_->Guard<FieldInfo>(FieldInfo{"", '\0', 0, 0, 0},
                                    [&] { return state_->Area().Field(field); });
}

int TableEngine::FieldNumber(const std::string& name) {
    return state_->Guard<int>(0, [&] { return state_->Area().FieldNumber(name); });
}

std::string TableEngine::FieldName(int field) {
    return Field(field).name;
}
char TableEngine::FieldType(int field) {
    return Field(field).type;
}
int TableEngine::FieldWidth(int field) {
    return Field(field).width;
}
int TableEngine::FieldDecimals(int field) {
    return Field(field).decimals;
}

std::string TableEngine::GetString(const std::string& field) {
    return state_->Guard<std::string>(
        {}, [&] { return GetString(state_->FieldOf(state_->Area(), field)); });
}

std::string TableEngine::GetString(int field) {
    return state_->Guard<std::string>({}, [&] {
        WorkArea& area = state_->Area();
        const FieldInfo& f = area.Field(field);
        if (f.type == 'M')
            return area.Text().Decode(area.Memo(field));
        std::string bytes = area.FieldBytes(field);
        if (f.type == 'N' && state_->stringType == 1)
            return Trim(bytes);
        std::string text = area.Text().Decode(bytes);
        return state_->stringType == 1 ? TrimRight(text) : text;
    });
}

bool TableEngine::GetLogical(const std::string& field) {
    return state_->Guard<bool>(false,
                               [&] { return GetLogical(state_->FieldOf(state_->Area(), field)); });
}

bool TableEngine::GetLogical(int field) {
    return state_->Guard<bool>(false, [&] {
        std::string bytes = state_->Area().FieldBytes(field);
        return !bytes.empty() && std::string("TtYy").find(bytes[0]) != std::string::npos;
    });
}

std::string TableEngine::GetDateString(const std::string& field) {
    return state_->Guard<std::string>(
        {}, [&] { return GetDateString(state_->FieldOf(state_->Area(), field)); });
}

std::string TableEngine::GetDateString(int field) {
    return state_->Guard<std::string>({}, [&] {
        std::string bytes = state_->Area().FieldBytes(field);
        bytes.resize(8, ' ');
        return bytes;
    });
}

double TableEngine::GetNumber(const std::string& field) {
    return state_->Guard<double>(0,
                                 [&] { return GetNumber(state_->FieldOf(state_->Area(), field)); });
}

double TableEngine::GetNumber(int field) {
    return state_->Guard<double>(0, [&] {
        std::string text = Trim(state_->Area().FieldBytes(field));
        return text.empty() ? 0.0 : std::strtod(text.c_str(), nullptr);
    });
}

std::string TableEngine::GetMemo(const std::string& field) {
    return state_->Guard<std::string>({}, [&] {
        WorkArea& area = state_->Area();
        return area.Text().Decode(area.Memo(state_->FieldOf(area, field)));
    });
}

std::string TableEngine::GetMemo(int field) {
    return state_->Guard<std::string>({}, [&] {
        WorkArea& area = state_->Area();
        return area.Text().Decode(area.Memo(field));
    });
}

int TableEngine::PutString(const std::string& field, const std::string& value) {
    return state_->Code([&] {
        WorkArea& area = state_->Area();
        int number = state_->FieldOf(area, field);
        const FieldInfo& f = area.Field(number);
        std::string bytes = FieldBytesFor(area, f, value);
        if (f.type == 'M')
            area.PutMemo(number, bytes);
        else
            area.PutFieldBytes(number, bytes);
    });
}

int TableEngine::PutLogical(const std::string& field, bool value) {
    return state_->Code([&] {
        WorkArea& area = state_->Area();
        int number = state_->FieldOf(area, field);
        if (area.Field(number).type != 'L')
            throw TableFault(tbeBadArgument,
                             "Table " + area.Path() + ": " + field + " is not logical");
        area.PutFieldBytes(number, value ? "T" : "F");
    });
}

int TableEngine::PutDate(const std::string& field, const std::string& yyyymmdd) {
    return state_->Code([&] {
        WorkArea& area = state_->Area();
        int number = state_->FieldOf(area, field);
        const FieldInfo& f = area.Field(number);
        if (f.type != 'D')
            throw TableFault(tbeBadArgument,
                             "Table " + area.Path() + ": " + field + " is not a date");
        area.PutFieldBytes(number, FieldBytesFor(area, f, yyyymmdd));
    });
}

int TableEngine::PutNumber(const std::string& field, double value) {
    return state_->Code([&] {
        WorkArea& area = state_->Area();
        int number = state_->FieldOf(area, field);
        const FieldInfo& f = area.Field(number);
        if (f.type != 'N')
            throw TableFault(tbeBadArgument,
                             "Table " + area.Path() + ": " + field + " is not numeric");
        area.PutFieldBytes(number, NumberBytes(area, f, value));
    });
}

int TableEngine::CheckValues(const FieldValues& values) {
    return state_->Code([&] {
        WorkArea& area = state_->Area();
        for (const auto& [field, value] : values)
            FieldBytesFor(area, area.Field(state_->FieldOf(area, field)), value);
    });
}

int TableEngine::AppendValues(const FieldValues& values) {
    return state_->Code([&] {
        WorkArea& area = state_->Area();
        std::string record = area.Table().BlankRecord();
        PlaceValues(area, values, record);
        area.AppendRecord(record);
    });
}

int TableEngine::PutValues(const FieldValues& values) {
    return state_->Code([&] {
        WorkArea& area = state_->Area();
        std::string record = area.Record();
        PlaceValues(area, values, record);
        area.PutRecord(record);
    });
}

int TableEngine::DropRecordsAfter(long recno) {
    return state_->Code([&] { state_->Area().DropRecordsAfter(recno); });
}

void TableEngine::PlaceValues(WorkArea& area, const FieldValues& values, std::string& record) {
    // Every value is checked before the first memo is written.
    std::vector<std::pair<int, std::string>> memos;
    for (const auto& [field, value] : values) {
        int number = state_->FieldOf(area, field);
        const FieldInfo& f = area.Field(number);
        std::string bytes = FieldBytesFor(area, f, value);
        if (f.type == 'M') {
            memos.emplace_back(number, std::move(bytes));
            continue;
        }
        bytes.resize(size_t(f.width), ' ');
        record.replace(size_t(f.offset), size_t(f.width), bytes);
    }
    for (const auto& [number, bytes] : memos)
        area.StoreMemo(number, bytes, record);
}

int TableEngine::PutMemo(const std::string& field, const std::string& text) {
    return state_->Code([&] {
        WorkArea& area = state_->Area();
        area.PutMemo(state_->FieldOf(area, field), area.Text().Encode(text));
    });
}

int TableEngine::Replace(const std::string& field, long, const std::string& fileName) {
    return state_->Code([&] {
        WorkArea& area = state_->Area();
        int number = state_->FieldOf(area, field);
        std::ifstream in(fileName, std::ios::binary);
        if (!in)
            throw TableFault(tbeOpenFailed,
                             "Cannot read " + fileName + ": " + std::strerror(errno));
        std::ostringstream data;
        data << in.rdbuf();
        if (in.bad())
            throw TableFault(tbeIo, "Cannot read " + fileName);
        area.PutMemo(number, data.str());
    });
}

int TableEngine::BlobToFile(const std::string& field, const std::string& fileName) {
    return state_->Guard<int>(0, [&] {
        WorkArea& area = state_->Area();
        std::string data = area.Memo(state_->FieldOf(area, field));
        if (data.empty())
            throw TableFault(tbeEmptyMemo, "Table " + area.Path() + ": the memo " + field +
                                               " of record " + std::to_string(area.RecNo()) +
                                               " is empty");
        std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
        out.write(data.data(), std::streamsize(data.size()));
        out.close();
        if (!out) {
            std::remove(fileName.c_str());
            throw TableFault(tbeIo, "Cannot write " + fileName);
        }
        return 1;
    });
}

// ---- Indexes ------------------------------------------------------------------------

int TableEngine::IndexTag(const std::string& file, const std::string& tag,
                          const std::string& forExpr, int option, bool unique,
                          const std::string& key) {
    return state_->Code([&] {
        WorkArea& area = state_->Area();
        if (!file.empty())
            throw TableFault(tbeBadArgument,
                             "Table " + area.Path() + ": only the production index is supported");
        area.IndexTag(tag, forExpr, (option & 1) != 0, unique, key);
    });
}

int TableEngine::TagArea(const std::string& tag) {
    return state_->Guard<int>(0, [&] { return state_->Area().TagArea(tag); });
}

int TableEngine::SetOrder(int tag) {
    return state_->Code([&] { state_->Area().SetOrder(tag); });
}

int TableEngine::SetOrder(const std::string& tag) {
    return state_->Code([&] {
        WorkArea& area = state_->Area();
        int number = area.TagArea(tag);
        if (number == 0 && !tag.empty())
            throw TableFault(tbeNoTag, "Table " + area.Path() + ": there is no tag " + tag);
        area.SetOrder(number);
    });
}

int TableEngine::IndexOrd() {
    return state_->Guard<int>(0, [&] { return state_->Area().IndexOrd(); });
}

int TableEngine::TagCount() {
    return state_->Guard<int>(0, [&] { return state_->Area().TagCount(); });
}

TagInfo TableEngine::Tag(int tag) {
    return state_->Guard<TagInfo>(TagInfo{}, [&] { return state_->Area().Tag(tag); });
}

int TableEngine::CloseIndexes() {
    return state_->Code([&] { state_->Area().CloseIndexes(); });
}
int TableEngine::Reindex() {
    return state_->Code([&] { state_->Area().Reindex(); });
}

// ---- Queries and positions ----------------------------------------------------------

int TableEngine::Query(const std::string& condition) {
    return state_->Code([&] { state_->Area().Query(condition); });
}

long TableEngine::QueryRecCount() {
    return state_->Guard<long>(0, [&] { return state_->Area().QueryRecCount(); });
}

long TableEngine::KeyNo() {
    return state_->Guard<long>(0, [&] { return state_->Area().KeyNo(); });
}

int TableEngine::GoKey(long position) {
    return state_->Code([&] { state_->Area().GoKey(position); });
}

// ---- Maintenance ----------------------------------------------------------------------

int TableEngine::Pack() {
    return state_->Code([&] { state_->Area().Pack(); });
}

int TableEngine::Check(std::vector<std::string>& problems) {
    return state_->Code([&] {
        if (!state_->Area().Check(problems))
            throw TableFault(tbeCorrupt, problems.front());
    });
}

} // namespace qp::tables
