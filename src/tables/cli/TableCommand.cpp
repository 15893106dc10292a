// `qpx table SUBCOMMAND FILE ...`: looks into and maintains tables with the table engine.

#include <cstdio>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tables/DbfFile.h"
#include "tables/MemoFile.h"
#include "tables/TableEngine.h"
#include "tables/WorkArea.h"
#include "tables/cli/TableRowReader.h"

using qp::tables::TableEngine;

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "usage: qpx table info FILE\n"
    "       qpx table dump FILE [--tag NAME] [--json]\n"
    "       qpx table create FILE --fields NAME:TYPE:WIDTH[:DEC],...\n"
    "       qpx table append FILE (--json ROWS.json | --csv ROWS.csv)\n"
    "       qpx table delete FILE RECNO...\n"
    "       qpx table index FILE --tag NAME --key EXPR [--for EXPR] [--descending]\n"
    "       qpx table check FILE\n"
    "       qpx table pack FILE\n"
    "       qpx table reindex FILE\n";

// Options of the form --name VALUE (or --flag), positional arguments in order.
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    bool Has(const std::string& name) const { return options.count(name) != 0; }
    std::string Get(const std::string& name) const {
        auto it = options.find(name);
        return it == options.end() ? std::string() : it->second;
    }
};

Arguments Parse(const std::vector<std::string>& args, size_t first) {
    static const char* flags[] = {"--json", "--descending"};
    Arguments parsed;
    for (size_t i = first; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--", 0) != 0) {
            parsed.positional.push_back(a);
            continue;
        }
        bool flag = false;
        for (const char* f : flags)
            flag = flag || a == f;
        bool valueFollows = i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0;
        if (a == "--json" && valueFollows && args[0] == "append")
            flag = false;
        if (flag || !valueFollows)
            parsed.options[a] = "";
        else
            parsed.options[a] = args[++i];
    }
    return parsed;
}

int Failure(TableEngine& engine, const std::string& what) {
    std::cerr << "qpx table: " << what;
    if (!engine.LastErrorText().empty())
        std::cerr << ": " << engine.LastErrorText();
    std::cerr << "\n";
    return kFailed;
}

bool Open(TableEngine& engine, const std::string& path) {
    if (engine.Use(path) > 0)
        return true;
    Failure(engine, "cannot open " + path);
    return false;
}

std::string DisplayText(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

int Info(TableEngine& engine, const Arguments& a) {
    const std::string& path = a.positional[0];
    if (!Open(engine, path))
        return kFailed;
    auto* area = engine.CurrentWorkArea();
    const auto& table = area->Table();
    char version[8];
    std::snprintf(version, sizeof version, "0x%02X", table.VersionByte());
    std::cout << "Table:         " << path << "\n"
              << "Version:       " << version
              << (table.VersionByte() == 0xF5 ? " (FoxPro 2 with memo)" : " (FoxPro 2)") << "\n"
              << "Last update:   " << table.LastUpdate() << "\n"
              << "Records:       " << table.RecordCount() << "\n"
              << "Header length: " << table.HeaderLength() << "\n"
              << "Record length: " << table.RecordLength() << "\n"
              << "Code page:     " << table.CodePageMark()
              << (table.CodePageMark() == 3 ? " (Windows-1252)" : "") << "\n"
              << "Index flag:    " << (table.HasIndexFlag() ? "yes" : "no") << "\n";
    if (const auto* memo = area->Memos())
        std::cout << "Memo file:     " << memo->Path() << " (block size " << memo->BlockSize()
                  << ", next free block " << memo->NextFreeBlock() << ")\n";
    std::cout << "Fields:\n";
    for (int i = 1; i <= engine.FieldCount(); ++i) {
        auto f = engine.Field(i);
        std::cout << "  " << i << "  " << f.name << "  " << f.type << "  " << f.width;
        if (f.type == 'N')
            std::cout << "." << f.decimals;
        std::cout << "\n";
    }
    std::cout << "Index:         "
              << (engine.TagCount() ? area->IndexPath() : std::string("(none)")) << "\n";
    for (int t = 1; t <= engine.TagCount(); ++t) {
        auto tag = engine.Tag(t);
        std::cout << "  Tag " << tag.name << "  key \"" << tag.keyExpr << "\"";
        if (!tag.forExpr.empty())
            std::cout << "  for \"" << tag.forExpr << "\"";
        std::cout << (tag.descending ? "  descending" : "  ascending")
                  << (tag.unique ? "  unique" : "") << "  key length " << tag.keyLength << "  "
                  << area->TagKeyCount(t) << " keys\n";
    }
    return kOk;
}

nlohmann::ordered_json FieldJson(TableEngine& engine, int field) {
    auto f = engine.Field(field);
    std::string text = engine.GetString(field);
    switch (f.type) {
    case 'N':
        if (text.empty() || text[0] == '*')
            return nullptr;
        return engine.GetNumber(field);
    case 'L':
        if (text.empty() || text == "?")
            return nullptr;
        return engine.GetLogical(field);
    default:
        return text;
    }
}

int Dump(TableEngine& engine, const Arguments& a) {
    const std::string& path = a.positional[0];
    if (!Open(engine, path))
        return kFailed;
    if (a.Has("--tag") && engine.SetOrder(a.Get("--tag")) != 0)
        return Failure(engine, "cannot use tag " + a.Get("--tag"));
    bool json = a.Has("--json");
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    int fields = engine.FieldCount();
    if (engine.GoTop() != 0)
        return Failure(engine, "cannot read " + path);
    for (; !engine.Eof(); engine.Skip(1)) {
        std::string problem;
        if (json) {
            nlohmann::ordered_json row;
            row["_recno"] = engine.RecNo();
            row["_deleted"] = engine.Deleted();
            for (int i = 1; i <= fields; ++i) {
                row[engine.FieldName(i)] = FieldJson(engine, i);
                if (engine.LastError() != 0)
                    problem = engine.LastErrorText();
            }
            rows.push_back(row);
        } else {
            std::cout << engine.RecNo() << (engine.Deleted() ? " *" : "  ");
            for (int i = 1; i <= fields; ++i) {
                std::string value = engine.GetString(i);
                if (engine.LastError() != 0)
                    problem = engine.LastErrorText();
                std::cout << (i == 1 ? " " : " | ") << engine.FieldName(i) << "="
                          << DisplayText(value);
            }
            std::cout << "\n";
        }
        if (!problem.empty()) {
            std::cerr << "qpx table: " << problem << "\n";
            return kFailed;
        }
    }
    if (engine.LastError() != 0)
        return Failure(engine, "cannot read " + path);
    if (json)
        std::cout << rows.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << "\n";
    return kOk;
}

int Create(TableEngine& engine, const Arguments& a) {
    const std::string& path = a.positional[0];
    std::vector<std::vector<std::string>> fields;
    std::stringstream list(a.Get("--fields"));
    for (std::string item; std::getline(list, item, ',');) {
        std::vector<std::string> parts;
        std::stringstream spec(item);
        for (std::string part; std::getline(spec, part, ':');)
            parts.push_back(part);
        if (parts.size() < 3 || parts.size() > 4) {
            std::cerr << "qpx table: field \"" << item << "\" is not NAME:TYPE:WIDTH[:DEC]\n";
            return kUsage;
        }
        fields.push_back(parts);
    }
    if (fields.empty()) {
        std::cerr << "qpx table: create needs --fields\n";
        return kUsage;
    }
    if (!engine.CreateNew(path, "XXXXXXXXXX", 2, int(fields.size())))
        return Failure(engine, "cannot create " + path);
    for (const auto& f : fields) {
        int width = 0, decimals = 0;
        try {
            width = std::stoi(f[2]);
            decimals = f.size() == 4 ? std::stoi(f[3]) : 0;
        } catch (const std::exception&) {
            std::cerr << "qpx table: bad width in field " << f[0] << "\n";
            return kUsage;
        }
        if (engine.CreateField(f[0], f[1], width, decimals) != 0)
            return Failure(engine, "cannot create " + path);
    }
    if (!engine.CreateExec())
        return Failure(engine, "cannot create " + path);
    std::cout << "Created " << path << " with " << fields.size() << " fields\n";
    return kOk;
}

bool IsYes(const std::string& value) {
    return !value.empty() && std::string("TtYy1").find(value[0]) != std::string::npos;
}

// A row's field values, without the pseudo-fields "_recno" and "_deleted".
TableEngine::FieldValues FieldValuesOf(const qp::tables::TableRowReader::Row& row) {
    TableEngine::FieldValues values;
    for (const auto& [name, value] : row) {
        if (name != "_recno" && name != "_deleted")
            values.emplace_back(name, value);
    }
    return values;
}

bool RowIsDeleted(const qp::tables::TableRowReader::Row& row) {
    for (const auto& [name, value] : row) {
        if (name == "_deleted")
            return IsYes(value);
    }
    return false;
}

// Appends every row or none: all values are checked first, and when a write fails the
// rows appended so far are removed again.
int Append(TableEngine& engine, const Arguments& a) {
    const std::string& path = a.positional[0];
    std::vector<qp::tables::TableRowReader::Row> rows;
    try {
        if (a.Has("--json") && !a.Get("--json").empty())
            rows = qp::tables::TableRowReader::FromJson(a.Get("--json"));
        else if (a.Has("--csv") && !a.Get("--csv").empty())
            rows = qp::tables::TableRowReader::FromCsv(a.Get("--csv"));
        else {
            std::cerr << "qpx table: append needs --json ROWS.json or --csv ROWS.csv\n";
            return kUsage;
        }
    } catch (const std::exception& e) {
        std::cerr << "qpx table: " << e.what() << "\n";
        return kFailed;
    }
    if (!Open(engine, path))
        return kFailed;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (engine.CheckValues(FieldValuesOf(rows[i])) != 0)
            return Failure(engine, "row " + std::to_string(i + 1) + " cannot be stored; " +
                                       "nothing was appended");
    }
    const long before = engine.RecCount();
    long appended = 0;
    for (const auto& row : rows) {
        if (engine.AppendValues(FieldValuesOf(row)) != 0 ||
            (RowIsDeleted(row) && engine.Delete() != 0))
            break;
        ++appended;
    }
    if (appended == long(rows.size()) && engine.Commit() == 0) {
        if (engine.Close() != 0)
            return Failure(engine, "cannot write " + path);
        std::cout << "Appended " << appended << " records to " << path << "\n";
        return kOk;
    }
    const std::string reason = engine.LastErrorText();
    engine.DropRecordsAfter(before);
    engine.Commit();
    engine.Close();
    std::cerr << "qpx table: cannot append to " << path << ": " << reason
              << "; nothing was appended\n";
    return kFailed;
}

// Marks every listed record deleted, or none.
int Delete(TableEngine& engine, const Arguments& a) {
    const std::string& path = a.positional[0];
    if (a.positional.size() < 2) {
        std::cerr << "qpx table: delete needs record numbers\n";
        return kUsage;
    }
    std::vector<long> recnos;
    for (size_t i = 1; i < a.positional.size(); ++i) {
        try {
            recnos.push_back(std::stol(a.positional[i]));
        } catch (const std::exception&) {
            std::cerr << "qpx table: \"" << a.positional[i] << "\" is not a record number\n";
            return kUsage;
        }
    }
    if (!Open(engine, path))
        return kFailed;
    std::vector<long> marked;
    std::string problem;
    for (long recno : recnos) {
        if (engine.Go(recno) != 0) {
            problem =
                "cannot delete record " + std::to_string(recno) + ": " + engine.LastErrorText();
            break;
        }
        if (engine.Deleted())
            continue;
        if (engine.Delete() != 0) {
            problem =
                "cannot delete record " + std::to_string(recno) + ": " + engine.LastErrorText();
            break;
        }
        marked.push_back(recno);
    }
    if (problem.empty() && engine.Commit() != 0)
        problem = "cannot write " + path + ": " + engine.LastErrorText();
    if (problem.empty()) {
        if (engine.Close() != 0)
            return Failure(engine, "cannot write " + path);
        std::cout << "Marked " << recnos.size() << " records deleted\n";
        return kOk;
    }
    for (long recno : marked) {
        if (engine.Go(recno) == 0)
            engine.Recall();
    }
    engine.Commit();
    engine.Close();
    std::cerr << "qpx table: " << problem << "; no record was deleted\n";
    return kFailed;
}

int Index(TableEngine& engine, const Arguments& a) {
    const std::string& path = a.positional[0];
    if (!a.Has("--tag") || !a.Has("--key")) {
        std::cerr << "qpx table: index needs --tag NAME and --key EXPR\n";
        return kUsage;
    }
    if (!Open(engine, path))
        return kFailed;
    if (engine.IndexTag("", a.Get("--tag"), a.Get("--for"), a.Has("--descending") ? 1 : 0, false,
                        a.Get("--key")) != 0)
        return Failure(engine, "cannot create tag " + a.Get("--tag"));
    if (engine.Close() != 0)
        return Failure(engine, "cannot write " + path);
    std::cout << "Created tag " << a.Get("--tag") << "\n";
    return kOk;
}

int Check(TableEngine& engine, const Arguments& a) {
    const std::string& path = a.positional[0];
    if (!Open(engine, path))
        return kFailed;
    std::vector<std::string> problems;
    engine.Check(problems);
    for (const auto& p : problems)
        std::cout << p << "\n";
    if (!problems.empty())
        return kFailed;
    std::cout << "OK: " << path << ": " << engine.RecCount() << " records, " << engine.TagCount()
              << " tags agree with the table\n";
    return kOk;
}

int Pack(TableEngine& engine, const Arguments& a) {
    const std::string& path = a.positional[0];
    if (!Open(engine, path))
        return kFailed;
    long before = engine.RecCount();
    if (engine.Pack() != 0)
        return Failure(engine, "cannot pack " + path);
    std::cout << "Packed " << path << ": " << before << " -> " << engine.RecCount() << " records\n";
    return engine.Close() == 0 ? kOk : Failure(engine, "cannot write " + path);
}

int Reindex(TableEngine& engine, const Arguments& a) {
    const std::string& path = a.positional[0];
    if (engine.UseAndReindex(path) == 0)
        return Failure(engine, "cannot open " + path);
    if (!engine.LastErrorText().empty())
        std::cout << "Repaired: " << engine.LastErrorText() << "\n";
    if (engine.Reindex() != 0)
        return Failure(engine, "cannot reindex " + path);
    std::cout << "Reindexed " << path << ": " << engine.TagCount() << " tags\n";
    return engine.Close() == 0 ? kOk : Failure(engine, "cannot write " + path);
}

} // namespace

int TableCommandMain(const std::vector<std::string>& args) {
    using Handler = int (*)(TableEngine&, const Arguments&);
    static const std::map<std::string, Handler> handlers = {
        {"info", Info},     {"dump", Dump},     {"create", Create},
        {"append", Append}, {"delete", Delete}, {"index", Index},
        {"check", Check},   {"pack", Pack},     {"reindex", Reindex}};
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsageText;
        return args.empty() ? kUsage : kOk;
    }
    auto handler = handlers.find(args[0]);
    Arguments parsed = Parse(args, 1);
    if (handler == handlers.end() || parsed.positional.empty()) {
        std::cerr << kUsageText;
        return kUsage;
    }
    TableEngine engine;
    engine.SetStringType(1);
    return handler->second(engine, parsed);
}
