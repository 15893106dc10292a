#include "tables/Expression.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>

#include "tables/TableFault.h"

namespace qp::tables {

struct Expression::Node {
    enum Kind { kField, kLiteral, kFunction, kNot, kAnd, kOr, kPlus } kind = kLiteral;
    char type = 'C';
    int width = 0;
    ExprValue literal;
    FieldInfo field; // a copy: the expression outlives any one opening of the table
    int function = -1;
    std::vector<std::unique_ptr<Node>> args;
};

namespace {

using Node = Expression::Node;

std::string Upper(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The function table: the one place where functions are declared. `args` are the argument
// types; the evaluator gets the evaluated arguments and the record.
struct Function {
    const char* name;
    std::string args;
    char result;
    std::function<int(const Node&)> width;
    std::function<ExprValue(const std::vector<ExprValue>&, const std::string&)> evaluate;
};

const std::vector<Function>& Functions() {
    static const std::vector<Function> table = {
        {"DTOS", "D", 'C', [](const Node&) { return 8; },
         [](const std::vector<ExprValue>& a, const std::string&) {
             return ExprValue{'C', a[0].text, 0, false};
         }},
        {"DELETED", "", 'L', [](const Node&) { return 1; },
         [](const std::vector<ExprValue>&, const std::string& record) {
             return ExprValue{'L', {}, 0, !record.empty() && record[0] == '*'};
         }},
        {"UPPER", "C", 'C', [](const Node& n) { return n.args[0]->width; },
         [](const std::vector<ExprValue>& a, const std::string&) {
             return ExprValue{'C', Upper(a[0].text), 0, false};
         }},
    };
    return table;
}

class Parser {
public:
    Parser(const std::string& text, const std::vector<FieldInfo>& fields)
        : text_(text), fields_(fields) {}

    std::unique_ptr<Node> ParseAll(bool& usesFields) {
        auto node = ParseOr();
        SkipBlanks();
        if (pos_ != text_.size())
            Fail("unexpected \"" + text_.substr(pos_) + "\"");
        usesFields = usesFields_;
        return node;
    }

    [[noreturn]] void Fail(const std::string& what) const {
        throw TableFault(tbeBadExpression, "Expression \"" + text_ + "\": " + what);
    }

private:
    void SkipBlanks() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
    }

    // Accepts a dotted operator such as ".AND." (any case) at the current position.
    bool AcceptWord(const std::string& word) {
        SkipBlanks();
        if (pos_ + word.size() <= text_.size() && Upper(text_.substr(pos_, word.size())) == word) {
            pos_ += word.size();
            return true;
        }
        return false;
    }

    bool AcceptChar(char c) {
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    void RequireLogical(const Node& n, const char* op) {
        if (n.type != 'L')
            Fail(std::string(op) + " needs a logical operand");
    }

    std::unique_ptr<Node> Binary(Node::Kind kind, std::unique_ptr<Node> left,
                                 std::unique_ptr<Node> right) {
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->type = kind == Node::kPlus ? left->type : 'L';
        node->width = left->width + right->width;
        node->args.push_back(std::move(left));
        node->args.push_back(std::move(right));
        return node;
    }

    std::unique_ptr<Node> ParseOr() {
        auto left = ParseAnd();
        while (AcceptWord(".OR.")) {
            auto right = ParseAnd();
            RequireLogical(*left, ".OR.");
            RequireLogical(*right, ".OR.");
            left = Binary(Node::kOr, std::move(left), std::move(right));
        }
        return left;
    }

    std::unique_ptr<Node> ParseAnd() {
        auto left = ParseNot();
        while (AcceptWord(".AND.")) {
            auto right = ParseNot();
            RequireLogical(*left, ".AND.");
            RequireLogical(*right, ".AND.");
            left = Binary(Node::kAnd, std::move(left), std::move(right));
        }
        return left;
    }

    std::unique_ptr<Node> ParseNot() {
        if (AcceptWord(".NOT.") || AcceptChar('!')) {
            auto operand = ParseNot();
            RequireLogical(*operand, ".NOT.");
            auto node = std::make_unique<Node>();
            node->kind = Node::kNot;
            node->type = 'L';
            node->args.push_back(std::move(operand));
            return node;
        }
        return ParseSum();
    }

    std::unique_ptr<Node> ParseSum() {
        auto left = ParsePrimary();
        while (AcceptChar('+')) {
            auto right = ParsePrimary();
            if (left->type != right->type || (left->type != 'C' && left->type != 'N'))
                Fail("'+' needs two texts or two numbers");
            left = Binary(Node::kPlus, std::move(left), std::move(right));
        }
        return left;
    }

    std::unique_ptr<Node> ParsePrimary() {
        SkipBlanks();
        if (pos_ >= text_.size())
            Fail("incomplete expression");
        char c = text_[pos_];
        if (c == '(') {
            ++pos_;
            auto inner = ParseOr();
            if (!AcceptChar(')'))
                Fail("missing ')'");
            return inner;
        }
        if (c == '"' || c == '\'')
            return ParseString(c);
        if (AcceptWord(".T.") || AcceptWord(".F."))
            return LogicalLiteral(text_[pos_ - 2]);
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_')
            return ParseName();
        Fail("unexpected \"" + text_.substr(pos_) + "\"");
    }

    std::unique_ptr<Node> LogicalLiteral(char letter) {
        auto node = std::make_unique<Node>();
        node->type = 'L';
        node->literal = ExprValue{'L', {}, 0, std::toupper(letter) == 'T'};
        return node;
    }

    std::unique_ptr<Node> ParseString(char quote) {
        size_t end = text_.find(quote, pos_ + 1);
        if (end == std::string::npos)
            Fail("unterminated text");
        auto node = std::make_unique<Node>();
        node->literal = ExprValue{'C', text_.substr(pos_ + 1, end - pos_ - 1), 0, false};
        node->width = int(node->literal.text.size());
        pos_ = end + 1;
        return node;
    }

    std::unique_ptr<Node> ParseName() {
        size_t start = pos_;
        while (pos_ < text_.size() &&
               (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
            ++pos_;
        std::string name = Upper(text_.substr(start, pos_ - start));
        if (AcceptChar('('))
            return ParseCall(name);
        for (const auto& f : fields_) {
            if (f.name == name) {
                if (f.type == 'M')
                    Fail("memo field " + name + " cannot be used here");
                auto node = std::make_unique<Node>();
                node->kind = Node::kField;
                node->field = f;
                node->type = f.type;
                node->width = f.width;
                usesFields_ = true;
                return node;
            }
        }
        Fail("unknown field " + name);
    }

    std::unique_ptr<Node> ParseCall(const std::string& name) {
        const auto& functions = Functions();
        auto it = std::find_if(functions.begin(), functions.end(),
                               [&](const Function& f) { return name == f.name; });
        if (it == functions.end())
            Fail("unknown function " + name + "()");
        auto node = std::make_unique<Node>();
        node->kind = Node::kFunction;
        node->function = int(it - functions.begin());
        node->type = it->result;
        if (!AcceptChar(')')) {
            do {
                node->args.push_back(ParseOr());
            } while (AcceptChar(','));
            if (!AcceptChar(')'))
                Fail("missing ')' after the arguments of " + name + "()");
        }
        if (node->args.size() != it->args.size())
            Fail(name + "() needs " + std::to_string(it->args.size()) + " argument(s)");
        for (size_t i = 0; i < node->args.size(); ++i) {
            if (node->args[i]->type != it->args[i])
                Fail(name + "() got an argument of the wrong type");
        }
        node->width = it->width(*node);
        return node;
    }

    const std::string& text_;
    const std::vector<FieldInfo>& fields_;
    size_t pos_ = 0;
    bool usesFields_ = false;
};

ExprValue FieldValue(const FieldInfo& f, const std::string& record) {
    ExprValue v;
    v.type = f.type;
    if (size_t(f.offset + f.width) > record.size())
        return v;
    const char* p = record.data() + f.offset;
    switch (f.type) {
    case 'L':
        v.logical = std::string("TtYy").find(*p) != std::string::npos;
        break;
    case 'N': {
        std::string digits(p, size_t(f.width));
        v.number = std::strtod(digits.c_str(), nullptr);
        break;
    }
    default:
        v.text.assign(p, size_t(f.width));
        break;
    }
    return v;
}

ExprValue EvaluateNode(const Node& n, const std::string& record) {
    switch (n.kind) {
    case Node::kLiteral:
        return n.literal;
    case Node::kField:
        return FieldValue(n.field, record);
    case Node::kNot: {
        ExprValue v = EvaluateNode(*n.args[0], record);
        v.logical = !v.logical;
        return v;
    }
    case Node::kAnd:
        return ExprValue{'L',
                         {},
                         0,
                         EvaluateNode(*n.args[0], record).logical &&
                             EvaluateNode(*n.args[1], record).logical};
    case Node::kOr:
        return ExprValue{'L',
                         {},
                         0,
                         EvaluateNode(*n.args[0], record).logical ||
                             EvaluateNode(*n.args[1], record).logical};
    case Node::kPlus: {
        ExprValue left = EvaluateNode(*n.args[0], record);
        ExprValue right = EvaluateNode(*n.args[1], record);
        left.text += right.text;
        left.number += right.number;
        return left;
    }
    case Node::kFunction: {
        std::vector<ExprValue> args;
        args.reserve(n.args.size());
        for (const auto& a : n.args)
            args.push_back(EvaluateNode(*a, record));
        return Functions()[size_t(n.function)].evaluate(args, record);
    }
    }
    return {};
}

} // namespace

Expression::~Expression() = default;

std::unique_ptr<Expression> Expression::Compile(const std::string& text,
                                                const std::vector<FieldInfo>& fields) {
    std::unique_ptr<Expression> e(new Expression);
    e->text_ = text;
    for (char c : text) {
        if (!std::isspace(static_cast<unsigned char>(c)))
            e->normalized_ += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (e->normalized_.empty())
        throw TableFault(tbeBadExpression, "Expression is empty");
    Parser parser(text, fields);
    e->root_ = parser.ParseAll(e->usesFields_);
    return e;
}

char Expression::ResultType() const {
    return root_->type;
}
int Expression::ResultWidth() const {
    return root_->width;
}

ExprValue Expression::Evaluate(const std::string& record) const {
    return EvaluateNode(*root_, record);
}

bool Expression::IsTrue(const std::string& record) const {
    return EvaluateNode(*root_, record).logical;
}

} // namespace qp::tables
