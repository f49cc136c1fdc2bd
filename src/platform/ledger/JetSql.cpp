// Translation of the Jet SQL texts and find criteria that the program uses into SQLite SQL.
// A small rewriter over tokens: it changes only the Jet constructs whose meaning differs on
// SQLite and passes everything else through unchanged.

#include "platform/ledger/JetSql.h"

#include "platform/Error.h"
#include "platform/ledger/Database.h"
#include "platform/ledger/DateText.h"

#include <QRegularExpression>
#include <QSet>

#include <vector>

namespace corvane::ledger {
namespace {

enum class Tok { Space, Ident, Quoted, Number, String, Op, LParen, RParen, Comma, Other };

struct Token {
    Tok type;
    QString text;   // output text
    QString value;  // string literal content, identifier as written
    bool is(const char* word) const {
        return type == Tok::Ident && value.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
};

[[noreturn]] void syntaxError(const QString& text) {
    throw Error(errc::SyntaxError,
                QStringLiteral("Syntax error in query expression '%1'.").arg(text));
}

QString sqlString(const QString& value) {
    QString escaped = value;
    escaped.replace(u'\'', QStringLiteral("''"));
    return u'\'' + escaped + u'\'';
}

bool isIdentStart(QChar c) {
    return c.isLetter() || c == u'_';
}
bool isIdentPart(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}
bool isDigit(QChar c) {
    return c.unicode() >= '0' && c.unicode() <= '9';
}

std::vector<Token> tokenize(const QString& s) {
    std::vector<Token> out;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s[i];
        const qsizetype start = i;
        if (c.isSpace()) {
            while (i < n && s[i].isSpace())
                ++i;
            out.push_back({Tok::Space, QStringLiteral(" "), {}});
        } else if (isIdentStart(c)) {
            while (i < n && isIdentPart(s[i]))
                ++i;
            const QString word = s.mid(start, i - start);
            out.push_back({Tok::Ident, word, word});
        } else if (isDigit(c) || (c == u'.' && i + 1 < n && isDigit(s[i + 1]))) {
            while (i < n && isDigit(s[i]))
                ++i;
            if (i < n && s[i] == u'.') {
                ++i;
                while (i < n && isDigit(s[i]))
                    ++i;
            }
            if (i < n && (s[i] == u'e' || s[i] == u'E')) {
                qsizetype j = i + 1;
                if (j < n && (s[j] == u'+' || s[j] == u'-'))
                    ++j;
                if (j < n && isDigit(s[j])) {
                    i = j;
                    while (i < n && isDigit(s[i]))
                        ++i;
                }
            }
            const QString number = s.mid(start, i - start);
            out.push_back({Tok::Number, number, number});
        } else if (c == u'\'' || c == u'"') {
            // Jet takes both quotes as string delimiters; a doubled quote stands for itself.
            QString value;
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == c) {
                    if (i + 1 < n && s[i + 1] == c) {
                        value += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += s[i++];
            }
            if (!closed)
                syntaxError(s);
            out.push_back({Tok::String, sqlString(value), value});
        } else if (c == u'[') {
            const qsizetype close = s.indexOf(u']', i + 1);
            if (close < 0)
                syntaxError(s);
            const QString name = s.mid(i + 1, close - i - 1);
            QString quoted = name;
            quoted.replace(u'"', QStringLiteral("\"\""));
            out.push_back({Tok::Quoted, u'"' + quoted + u'"', name});
            i = close + 1;
        } else if (c == u'#') {
            // A date literal: #03/14/2026#.
            const qsizetype close = s.indexOf(u'#', i + 1);
            if (close < 0)
                syntaxError(s);
            const QDateTime date = parseDateText(QStringView(s).mid(i + 1, close - i - 1));
            if (!date.isValid())
                syntaxError(s);
            const QString iso = isoDateText(date);
            out.push_back({Tok::String, sqlString(iso), iso});
            i = close + 1;
        } else if (c == u'(') {
            ++i;
            out.push_back({Tok::LParen, QStringLiteral("("), {}});
        } else if (c == u')') {
            ++i;
            out.push_back({Tok::RParen, QStringLiteral(")"), {}});
        } else if (c == u',') {
            ++i;
            out.push_back({Tok::Comma, QStringLiteral(","), {}});
        } else if (c == u'<' || c == u'>' || c == u'=' || c == u'!') {
            ++i;
            if (i < n && (s[i] == u'=' || (c == u'<' && s[i] == u'>')))
                ++i;
            const QString op = s.mid(start, i - start);
            out.push_back({Tok::Op, op, op});
        } else if (c == u'&') {
            ++i;
            out.push_back({Tok::Op, QStringLiteral("||"), QStringLiteral("&")});
        } else {
            ++i;
            out.push_back({Tok::Other, QString(c), QString(c)});
        }
    }
    return out;
}

bool isComparison(const Token& t) {
    if (t.type == Tok::Op) {
        return t.value == u"=" || t.value == u"<>" || t.value == u"!=" || t.value == u"<" ||
               t.value == u">" || t.value == u"<=" || t.value == u">=" || t.value == u"==";
    }
    return t.is("LIKE");
}

bool isBoundaryWord(const Token& t) {
    static const char* const words[] = {"AND",   "OR",   "NOT",   "WHERE",   "ON",     "HAVING",
                                        "WHEN",  "THEN", "ELSE",  "CASE",    "END",    "SELECT",
                                        "BY",    "SET",  "ORDER", "GROUP",   "LIMIT",  "UNION",
                                        "FROM",  "IS",   "IN",    "BETWEEN", "ASC",    "DESC",
                                        "INNER", "LEFT", "RIGHT", "JOIN",    "EXCEPT", "INTERSECT"};
    if (t.type != Tok::Ident)
        return false;
    for (const char* w : words) {
        if (t.is(w))
            return true;
    }
    return false;
}

bool isBoundary(const Token& t) {
    return t.type == Tok::Comma || isComparison(t) || isBoundaryWord(t) ||
           (t.type == Tok::Other && t.value == u";");
}

// Indexes of the significant (non-blank) tokens.
std::vector<int> significant(const std::vector<Token>& tokens) {
    std::vector<int> idx;
    for (int i = 0; i < static_cast<int>(tokens.size()); ++i) {
        if (tokens[i].type != Tok::Space)
            idx.push_back(i);
    }
    return idx;
}

struct Operand {
    int first = -1;  // positions in the significant list, inclusive
    int last = -1;
};

Operand leftOperand(const std::vector<Token>& t, const std::vector<int>& sig, int op) {
    int k = op - 1;
    int depth = 0;
    Operand r{op, op - 1};
    for (; k >= 0; --k) {
        const Token& tok = t[sig[k]];
        if (tok.type == Tok::RParen) {
            ++depth;
        } else if (tok.type == Tok::LParen) {
            if (depth == 0)
                break;
            --depth;
        } else if (depth == 0 && isBoundary(tok)) {
            break;
        }
        r.first = k;
    }
    return r;
}

Operand rightOperand(const std::vector<Token>& t, const std::vector<int>& sig, int op) {
    int depth = 0;
    Operand r{op + 1, op};
    for (int k = op + 1; k < static_cast<int>(sig.size()); ++k) {
        const Token& tok = t[sig[k]];
        if (tok.type == Tok::LParen) {
            ++depth;
        } else if (tok.type == Tok::RParen) {
            if (depth == 0)
                break;
            --depth;
        } else if (depth == 0 && isBoundary(tok) && !(k == op + 1 && tok.is("NOT"))) {
            break;
        }
        r.last = k;
    }
    return r;
}

bool isNumericStart(const std::vector<Token>& t, const std::vector<int>& sig, Operand o) {
    if (o.first > o.last)
        return false;
    int k = o.first;
    if (t[sig[k]].type == Tok::Other && (t[sig[k]].value == u"-" || t[sig[k]].value == u"+")) {
        if (k == o.last)
            return false;
        ++k;
    }
    const Token& first = t[sig[k]];
    if (first.type == Tok::Number)
        return true;
    static const char* const numeric[] = {"Val",  "Len",  "Int",   "Fix",   "CLng",  "CInt",
                                          "CDbl", "CCur", "Abs",   "Round", "Count", "Sum",
                                          "Avg",  "Year", "Month", "Day"};
    if (first.type == Tok::Ident && k < o.last && t[sig[k + 1]].type == Tok::LParen) {
        for (const char* w : numeric) {
            if (first.is(w))
                return true;
        }
    }
    return false;
}

bool isDecimalText(const QString& s) {
    static const QRegularExpression re(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)\s*$)"));
    return re.match(s).hasMatch();
}

QString likePattern(const QString& jet) {
    QString out;
    for (QChar c : jet) {
        if (c == u'*') {
            out += u'%';
        } else if (c == u'?') {
            out += u'_';
        } else {
            out += c;
        }
    }
    return out;
}

// Jet compares text without regard to case, and compares a number with a quoted number as
// numbers; SQLite needs to be told both.
void rewriteComparisons(std::vector<Token>& t) {
    const std::vector<int> sig = significant(t);
    for (int k = 0; k < static_cast<int>(sig.size()); ++k) {
        if (!isComparison(t[sig[k]]))
            continue;
        const bool like = t[sig[k]].is("LIKE");
        const Operand left = leftOperand(t, sig, k);
        const Operand right = rightOperand(t, sig, k);
        const Operand sides[2] = {left, right};
        for (int s = 0; s < 2; ++s) {
            const Operand lit = sides[s];
            if (lit.first != lit.last || lit.first < 0)
                continue;
            Token& literal = t[sig[lit.first]];
            if (literal.type != Tok::String)
                continue;
            if (like) {
                if (s == 1)
                    literal.text = sqlString(likePattern(literal.value));
                continue;
            }
            if (isNumericStart(t, sig, sides[1 - s]) && isDecimalText(literal.value)) {
                QString number = literal.value.trimmed();
                if (number.startsWith(u'+'))
                    number.remove(0, 1);
                if (number.startsWith(u'.'))
                    number.prepend(u'0');
                if (number.startsWith(QStringLiteral("-.")))
                    number.insert(1, u'0');
                if (number.endsWith(u'.'))
                    number.chop(1);
                literal.text = number;
            } else if (!literal.text.endsWith(QStringLiteral(" COLLATE NOCASE"))) {
                literal.text += QStringLiteral(" COLLATE NOCASE");
            }
        }
    }
}

void renameFunctions(std::vector<Token>& t) {
    struct Rename {
        const char* jet;
        const char* sqlite;
    };
    static const Rename renames[] = {
        {"Val", "corvane_val"}, {"Left", "corvane_left"}, {"Right", "corvane_right"},
        {"Mid", "corvane_mid"}, {"Nz", "corvane_nz"},     {"Len", "length"},
        {"UCase", "upper"},     {"LCase", "lower"},       {"Trim", "trim"},
        {"LTrim", "ltrim"},     {"RTrim", "rtrim"},       {"IIf", "iif"}};
    const std::vector<int> sig = significant(t);
    for (int k = 0; k + 1 < static_cast<int>(sig.size()); ++k) {
        Token& tok = t[sig[k]];
        if (tok.type != Tok::Ident || t[sig[k + 1]].type != Tok::LParen)
            continue;
        for (const Rename& r : renames) {
            if (tok.is(r.jet)) {
                tok.text = QString::fromLatin1(r.sqlite);
                break;
            }
        }
    }
}

// Every ORDER BY term sorts text without regard to case.
void rewriteOrderBy(std::vector<Token>& t) {
    const std::vector<int> sig = significant(t);
    const int n = static_cast<int>(sig.size());
    for (int k = 0; k + 1 < n; ++k) {
        if (!t[sig[k]].is("ORDER") || !t[sig[k + 1]].is("BY"))
            continue;
        int depth = 0;
        int termStart = k + 2;
        bool hasCollate = false;
        auto closeTerm = [&](int end) {  // end: significant position after the term
            if (termStart >= end || hasCollate)
                return;
            int last = end - 1;
            if (t[sig[last]].is("ASC") || t[sig[last]].is("DESC"))
                --last;
            if (last < termStart)
                return;
            t[sig[last]].text += QStringLiteral(" COLLATE NOCASE");
        };
        int m = k + 2;
        for (; m < n; ++m) {
            const Token& tok = t[sig[m]];
            if (tok.type == Tok::LParen) {
                ++depth;
            } else if (tok.type == Tok::RParen) {
                if (depth == 0)
                    break;
                --depth;
            } else if (depth == 0 && tok.type == Tok::Comma) {
                closeTerm(m);
                termStart = m + 1;
                hasCollate = false;
            } else if (depth == 0 && (tok.is("LIMIT") || tok.is("UNION") || tok.is("OFFSET") ||
                                      (tok.type == Tok::Other && tok.value == u";"))) {
                break;
            } else if (tok.is("COLLATE")) {
                hasCollate = true;
            }
        }
        closeTerm(m);
        k = m - 1;
    }
}

std::vector<Token> translateTokens(const QString& text, bool statement) {
    std::vector<Token> t = tokenize(text);
    // DISTINCTROW: the rows of the program's joins are distinct underlying rows already.
    std::vector<Token> kept;
    kept.reserve(t.size());
    bool dropped = false;
    for (Token& tok : t) {
        if (tok.is("DISTINCTROW")) {
            dropped = true;
            continue;
        }
        if (dropped && tok.type == Tok::Space)
            continue;
        dropped = false;
        kept.push_back(std::move(tok));
    }
    t = std::move(kept);
    if (statement) {
        while (!t.empty() && (t.back().type == Tok::Space ||
                              (t.back().type == Tok::Other && t.back().value == u";"))) {
            t.pop_back();
        }
    }
    rewriteComparisons(t);
    renameFunctions(t);
    if (statement)
        rewriteOrderBy(t);
    return t;
}

QString join(const std::vector<Token>& t, int from, int to) {
    QString out;
    for (int i = from; i < to; ++i)
        out += t[i].text;
    return out.trimmed();
}

}  // namespace

QString translateJetStatement(const QString& jetSql) {
    return planDynaset(jetSql).plainSql;
}

QString translateJetExpression(const QString& criterion) {
    const std::vector<Token> t = translateTokens(criterion, false);
    return join(t, 0, static_cast<int>(t.size()));
}

QString DynasetPlan::findSql(const QString& criterionSql) const {
    if (canInject) {
        QString sql = head;
        if (condition.isEmpty()) {
            sql += QStringLiteral(" WHERE (") + criterionSql + u')';
        } else {
            sql += QStringLiteral(" WHERE (") + condition + QStringLiteral(") AND (") +
                   criterionSql + u')';
        }
        if (!tail.isEmpty())
            sql += u' ' + tail;
        return sql + QStringLiteral(" LIMIT 1");
    }
    return QStringLiteral("SELECT * FROM (") + sql + QStringLiteral(") WHERE (") + criterionSql +
           QStringLiteral(") LIMIT 1");
}

DynasetPlan planDynaset(const QString& jetSql) {
    std::vector<Token> t = translateTokens(jetSql, true);
    DynasetPlan plan;
    plan.plainSql = join(t, 0, static_cast<int>(t.size()));
    plan.sql = plan.plainSql;

    const std::vector<int> sig = significant(t);
    const int n = static_cast<int>(sig.size());
    if (n == 0 || !t[sig[0]].is("SELECT"))
        return plan;

    // The top-level clauses.
    int from = -1, where = -1, afterWhere = -1;
    bool grouped = false, compound = false, limited = false;
    int depth = 0;
    for (int k = 0; k < n; ++k) {
        const Token& tok = t[sig[k]];
        if (tok.type == Tok::LParen) {
            ++depth;
        } else if (tok.type == Tok::RParen) {
            if (--depth < 0)
                return plan;
        } else if (depth == 0) {
            if (tok.is("FROM") && from < 0) {
                from = k;
            } else if (tok.is("WHERE") && where < 0 && from >= 0) {
                where = k;
            } else if ((tok.is("GROUP") || tok.is("ORDER") || tok.is("HAVING")) && afterWhere < 0 &&
                       from >= 0) {
                afterWhere = k;
                if (!tok.is("ORDER"))
                    grouped = true;
            } else if (tok.is("UNION") || tok.is("EXCEPT") || tok.is("INTERSECT")) {
                compound = true;
            } else if (tok.is("LIMIT")) {
                limited = true;
            }
        }
    }
    if (depth != 0 || from < 0 || compound)
        return plan;
    const int fromEnd = where >= 0 ? where : (afterWhere >= 0 ? afterWhere : n);

    // The tables of the FROM clause, with their aliases; any subquery or unusual form leaves the
    // rows read-only. Nested INNER JOINs in parentheses are noted for flattening.
    QStringList tables, aliases, tableRefs;
    std::vector<std::pair<int, int>> onRanges;  // significant positions [first, end)
    bool traceable = !(n > 1 && (t[sig[1]].is("DISTINCT")));
    bool onlyInner = true, nested = false;
    bool expectTable = true, inOn = false;
    int onDepth = 0, onStart = -1;
    for (int k = from + 1; k < fromEnd && traceable; ++k) {
        const Token& tok = t[sig[k]];
        if (inOn) {
            if (tok.type == Tok::LParen) {
                ++onDepth;
                continue;
            }
            if (tok.type == Tok::RParen) {
                if (onDepth > 0) {
                    --onDepth;
                    continue;
                }
                onRanges.emplace_back(onStart, k);
                inOn = false;
                continue;
            }
            if (onDepth > 0 || !(tok.is("JOIN") || tok.is("INNER") || tok.is("LEFT") ||
                                 tok.is("RIGHT") || tok.is("CROSS") || tok.is("FULL") ||
                                 tok.is("NATURAL") || tok.type == Tok::Comma)) {
                continue;
            }
            onRanges.emplace_back(onStart, k);
            inOn = false;
        }
        if (tok.type == Tok::LParen) {
            if (!expectTable)
                traceable = false;
            nested = true;
            continue;
        }
        if (tok.type == Tok::RParen)
            continue;
        if (tok.is("ON")) {
            inOn = true;
            onDepth = 0;
            onStart = k + 1;
            continue;
        }
        if (tok.type == Tok::Comma || tok.is("JOIN")) {
            expectTable = true;
            continue;
        }
        if (tok.is("INNER"))
            continue;
        if (tok.is("LEFT") || tok.is("RIGHT") || tok.is("OUTER") || tok.is("CROSS") ||
            tok.is("FULL") || tok.is("NATURAL") || tok.is("USING")) {
            onlyInner = false;
            continue;
        }
        if (expectTable && (tok.type == Tok::Ident || tok.type == Tok::Quoted) &&
            !tok.is("SELECT")) {
            if (k + 1 < fromEnd && t[sig[k + 1]].type == Tok::Other &&
                t[sig[k + 1]].value == u".") {
                traceable = false;
                break;
            }
            QString alias = tok.text;
            QString ref = tok.text;
            int next = k + 1;
            if (next < fromEnd && t[sig[next]].is("AS"))
                ++next;
            if (next < fromEnd &&
                (t[sig[next]].type == Tok::Ident || t[sig[next]].type == Tok::Quoted) &&
                !isBoundaryWord(t[sig[next]]) && !t[sig[next]].is("OUTER") &&
                !t[sig[next]].is("CROSS") && !t[sig[next]].is("NATURAL") &&
                !t[sig[next]].is("FULL")) {
                alias = t[sig[next]].text;
                ref += QStringLiteral(" AS ") + alias;
                k = next;
            }
            if (aliases.contains(alias, Qt::CaseInsensitive))
                traceable = false;
            tables.append(tok.value);
            aliases.append(alias);
            tableRefs.append(ref);
            expectTable = false;
            continue;
        }
        traceable = false;
    }
    if (inOn)
        onRanges.emplace_back(onStart, fromEnd);

    // SQLite cannot reach the tables inside parenthesized joins by name from the select list;
    // inner joins mean the same flat, with their conditions together.
    if (traceable && nested && onlyInner && tables.size() >= 2 && fromEnd > from + 1) {
        QString flat = u' ' + tableRefs.join(QStringLiteral(" INNER JOIN "));
        QStringList conditions;
        for (const auto& range : onRanges) {
            if (range.first >= range.second)
                continue;
            conditions << u'(' + join(t, sig[range.first], sig[range.second - 1] + 1) + u')';
        }
        if (!conditions.isEmpty())
            flat += QStringLiteral(" ON ") + conditions.join(QStringLiteral(" AND "));
        flat += u' ';
        const int first = sig[from] + 1;
        const int end = fromEnd < n ? sig[fromEnd] : static_cast<int>(t.size());
        for (int i = first; i < end; ++i)
            t[i].text.clear();
        t[first].text = flat;
        plan.plainSql = join(t, 0, static_cast<int>(t.size()));
        plan.sql = plan.plainSql;
    }

    if (traceable && !tables.isEmpty()) {
        QString prefix;
        for (const QString& alias : aliases)
            prefix += alias + QStringLiteral(".rowid, ");
        std::vector<Token> withRowids = t;
        withRowids[sig[0]].text = QStringLiteral("SELECT ") + prefix;
        // The blank that followed SELECT is now inside the prefix.
        if (sig[0] + 1 < static_cast<int>(withRowids.size()) &&
            withRowids[sig[0] + 1].type == Tok::Space) {
            withRowids[sig[0] + 1].text.clear();
        }
        t = std::move(withRowids);
        plan.rowidTables = tables;
        plan.sql = join(t, 0, static_cast<int>(t.size()));
    }

    if (!grouped && !limited) {
        const int total = static_cast<int>(t.size());
        const int headEnd = where >= 0 ? sig[where] : (afterWhere >= 0 ? sig[afterWhere] : total);
        plan.head = join(t, 0, headEnd);
        if (where >= 0) {
            const int condEnd = afterWhere >= 0 ? sig[afterWhere] : total;
            plan.condition = join(t, sig[where] + 1, condEnd);
        }
        plan.tail = afterWhere >= 0 ? join(t, sig[afterWhere], total) : QString();
        plan.canInject = true;
    }
    return plan;
}

QString Database::translateJetSql(const QString& jetSql) {
    return translateJetStatement(jetSql);
}

QString Database::translateJetCriterion(const QString& criterion) {
    return translateJetExpression(criterion);
}

}  // namespace corvane::ledger
