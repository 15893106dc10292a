#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tables/TableEngine.h"

namespace qp::tables {

// The value of an expression: type 'C' (text in the table's code page), 'D' (date text
// "YYYYMMDD" or blanks), 'N' (number) or 'L' (logical).
struct ExprValue {
    char type = 'C';
    std::string text;
    double number = 0;
    bool logical = false;
};

// Key and condition expressions over one table's fields, as index tags and queries use
// them: field names in any case, string and logical literals, `+` on strings (and numbers),
// `.NOT.` (or `!`), `.AND.`, `.OR.`, parentheses, and the functions of the function table
// in Expression.cpp (DTOS, DELETED, UPPER). New functions are added to that table only.
//
// Compile refuses anything it does not understand with tbeBadExpression, so a tag is
// never built on a half-understood key.
class Expression {
public:
    struct Node;

    // Throws TableFault(tbeBadExpression) naming the expression and the problem.
    static std::unique_ptr<Expression> Compile(const std::string& text,
                                               const std::vector<FieldInfo>& fields);
    ~Expression();

    const std::string& Text() const { return text_; }
    // Upper case without blanks: two spellings of the same expression compare equal.
    const std::string& Normalized() const { return normalized_; }
    char ResultType() const;
    // Width of a character result (the longest text it can give).
    int ResultWidth() const;
    // false when only DELETED() and literals are used (the record bytes are not needed
    // beyond the deleted mark).
    bool UsesFieldData() const { return usesFields_; }

    // Evaluates over `record` (raw record bytes, deleted mark first).
    ExprValue Evaluate(const std::string& record) const;
    // Evaluates a logical expression.
    bool IsTrue(const std::string& record) const;

private:
    Expression() = default;

    std::string text_;
    std::string normalized_;
    bool usesFields_ = false;
    std::unique_ptr<Node> root_;
};

} // namespace qp::tables
