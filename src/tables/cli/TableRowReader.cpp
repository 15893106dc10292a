#include "tables/cli/TableRowReader.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

namespace qp::tables {

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("Cannot read " + path);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

std::string ValueText(const nlohmann::json& v) {
    if (v.is_null())
        return {};
    if (v.is_string())
        return v.get<std::string>();
    if (v.is_boolean())
        return v.get<bool>() ? "T" : "F";
    if (v.is_number())
        return v.dump();
    throw std::runtime_error("values must be texts, numbers, true/false or null");
}

// Splits CSV text into records of fields (RFC 4180: quotes, doubled quotes, line breaks
// inside quotes).
std::vector<std::vector<std::string>> ParseCsv(const std::string& text, const std::string& path) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            any = true;
        } else if (c == ',') {
            record.push_back(field);
            field.clear();
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            if (any || !field.empty()) {
                record.push_back(field);
                records.push_back(record);
            }
            record.clear();
            field.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (quoted)
        throw std::runtime_error(path + ": a quoted value is not closed");
    if (any || !field.empty()) {
        record.push_back(field);
        records.push_back(record);
    }
    return records;
}

} // namespace

std::vector<TableRowReader::Row> TableRowReader::FromJson(const std::string& path) {
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(ReadAll(path));
    } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
    if (!doc.is_array())
        throw std::runtime_error(path + ": expected an array of objects");
    std::vector<Row> rows;
    for (size_t i = 0; i < doc.size(); ++i) {
        if (!doc[i].is_object())
            throw std::runtime_error(path + ": row " + std::to_string(i + 1) + " is not an object");
        Row row;
        try {
            for (const auto& [name, value] : doc[i].items())
                row.emplace_back(name, ValueText(value));
        } catch (const std::runtime_error& e) {
            throw std::runtime_error(path + ": row " + std::to_string(i + 1) + ": " + e.what());
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<TableRowReader::Row> TableRowReader::FromCsv(const std::string& path) {
    auto records = ParseCsv(ReadAll(path), path);
    if (records.empty())
        return {};
    const auto& names = records.front();
    std::vector<Row> rows;
    for (size_t r = 1; r < records.size(); ++r) {
        if (records[r].size() != names.size())
            throw std::runtime_error(path + ": line " + std::to_string(r + 1) + " has " +
                                     std::to_string(records[r].size()) + " values, the header " +
                                     std::to_string(names.size()));
        Row row;
        for (size_t i = 0; i < names.size(); ++i)
            row.emplace_back(names[i], records[r][i]);
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace qp::tables
