// The two outside forms of a predicate, text and property list: every tree
// comes back equal from both, and bad or hostile input is refused cleanly.

#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"

#include <gtest/gtest.h>

#include <QCborArray>
#include <QCborMap>

#include <cmath>
#include <cstring>
#include <random>

namespace {

using V = DSPredicateValue;

std::string str(const QString &text)
{
    return text.toStdString();
}

DSPredicatePtr roundTripThroughBytes(const DSPredicate &predicate, QString *error)
{
    const QByteArray bytes = predicate.toPropertyList().toCbor();
    return DSPredicate::fromPropertyList(QCborValue::fromCbor(bytes), error);
}

void expectBothFormsRoundTrip(const DSPredicate &predicate)
{
    const QString text = predicate.toString();
    QString error;
    const DSPredicatePtr fromText = DSPredicate::fromString(text, &error);
    ASSERT_TRUE(fromText) << str(text) << ": " << str(error);
    EXPECT_EQ(*fromText, predicate) << str(text) << " read back as " << str(fromText->toString());

    const DSPredicatePtr fromList = DSPredicate::fromPropertyList(predicate.toPropertyList(), &error);
    ASSERT_TRUE(fromList) << str(text) << ": " << str(error);
    EXPECT_EQ(*fromList, predicate) << str(text);

    const DSPredicatePtr fromBytes = roundTripThroughBytes(predicate, &error);
    ASSERT_TRUE(fromBytes) << str(text) << ": " << str(error);
    EXPECT_EQ(*fromBytes, predicate) << str(text);
}

// Texts in the form toString writes them.
const char *const kCanonicalTexts[] = {
    "value < 0 OR value == 99",
    "\"value\" < 0 OR \"value\" == 99",
    "\"label\" BEGINSWITH[c] \"n/a\" OR \"label\" CONTAINS[d] \"x\" OR \"label\" ENDSWITH[cd] \"y\"",
    "a == 1 AND (b == 2 OR c == 3)",
    "(a == 1 OR b == 2) AND NOT c == 3",
    "a == 1 AND (b == 2 AND c == 3)",
    "NOT (a == 1 AND b == 2)",
    "NOT (a == 1, b == 2)",
    "NOT ()",
    "AND ()",
    "OR (a == 1)",
    "AND (a == 1 OR b == 2)",
    "NOT AND (a == 1)",
    "a == 1 AND AND (b == 2)",
    "NOT NOT a == 1",
    "person.age >= 18",
    "#in.#and == TRUE",
    "x == NONE",
    "x == FALSE",
    "x != NAN",
    "x < INF AND x > -INF",
    "x == -0",
    "x == 0.1",
    "x == 1e+100",
    "x == 5e-324",
    "x == 1.7976931348623157e+308",
    "x == \"quote \\\" backslash \\\\ newline \\n tab \\t return \\r bell \\u0007 delete \\u007f é 😀\"",
    "x == DATE(\"2019-03-01T00:00:00Z\")",
    "x == DATE(\"2019-03-01T00:00:00.25Z\")",
    "x == DATE(\"2000-12-31T23:59:59.999999Z\")",
    "x == DATE(\"2019-03-01T12:34:56.789Z\")",
    "x == DATE(1e-300)",
    "x == DATE(\"2019-03-01T00:00:00.1234568Z\")",
    "x == DATE(0.1234567890123)",
    "x == DATE(\"0001-01-01T00:00:00Z\")",
    "x == DATE(\"9999-12-31T23:59:59Z\")",
    "x == DATE(NAN)",
    "x == DATE(-1e-20)",
    "x == DATE(1e+15)",
    "x IN {1, \"a\", {TRUE, NONE}, {}}",
    "x BETWEEN {1, 2}",
    "x LIKE \"a*\" OR x MATCHES \"[0-9]+\"",
    "5 < x",
    "\"Age (People)\" == \"Id (Visits)\"",
};

TEST(PredicateText, CanonicalTextsComeBackUnchanged)
{
    for (const char *text : kCanonicalTexts) {
        QString error;
        const DSPredicatePtr predicate = DSPredicate::fromString(QString::fromUtf8(text), &error);
        ASSERT_TRUE(predicate) << text << ": " << str(error);
        EXPECT_EQ(str(predicate->toString()), text);
        expectBothFormsRoundTrip(*predicate);
    }
}

TEST(PredicateText, OtherSpellingsReadAsTheCanonicalTree)
{
    const std::pair<const char *, const char *> cases[] = {
        {"value<0 or value==99", "value < 0 OR value == 99"},
        {"(value < 0)", "value < 0"},
        {"((a == 1)) and not (b == 2)", "a == 1 AND NOT b == 2"},
        {"AND (a == 1, b == 2)", "a == 1 AND b == 2"},
        {"NOT (a == 1)", "NOT a == 1"},
        {"x == DATE(573091200)", "x == DATE(\"2019-03-01T00:00:00Z\")"},
        {"#value == 1", "value == 1"},
        {"x == 1.50", "x == 1.5"},
        {"x == 1E3", "x == 1000"},
        {"x in {1,2}", "x IN {1, 2}"},
        {"x beginswith[c] \"a\"", "x BEGINSWITH[c] \"a\""},
        {" \t x\n== true ", "x == TRUE"},
        {"x == inf", "x == INF"},
    };
    for (const auto &[input, canonical] : cases) {
        QString error;
        const DSPredicatePtr predicate = DSPredicate::fromString(QString::fromUtf8(input), &error);
        ASSERT_TRUE(predicate) << input << ": " << str(error);
        EXPECT_EQ(str(predicate->toString()), canonical) << input;
    }
}

TEST(PredicateText, BadTextIsRefusedWithAPosition)
{
    const char *const bad[] = {
        "", "   ", "value", "value <", "value < 5 AND", "value = 5", "value < 5)", "(value < 5",
        "value BEGINSWITH[x] \"a\"", "value BEGINSWITH[ \"a\"", "value BEGINSWITH[] \"a\"", "x == \"abc",
        "x == \"\\q\"", "x == \"\\u12\"", "x == \"\\ud83d\"", "x == \"\\u+123\"", "x == DATE(\"2019-02-29T00:00:00Z\")",
        "x == DATE(\"2019-03-01 00:00:00\")", "x == DATE(\"2019-03-01T24:00:00Z\")",
        "x == DATE(\"2019-03-01T00:00:00.Z\")", "x == DATE(\"0000-12-31T00:00:00Z\")", "x == DATE()",
        "x == DATE(TRUE)", "x == DATE(\"2019-03-01T00:00:00Z\"", "value < 1.", "value < .5", "value < 1e",
        "value < 1e400", "value < 01x", "value < -", "value < -foo", "value < 0x10", "and < 5", "a.in < 5",
        "value < {1, }", "value < {1 2}", "value < {", "value == {x}", "NOT", "NOT ()x", "AND (value < 1",
        "AND (value < 1,)", "AND value < 1", "value < 5 value < 6", "value < 5 OR", "value < x.", "value < #",
        "value < 5 $", "value IN", "== 5", "value <> 5", "value =< 5", "value == 5 5", "value [c] == 5",
    };
    for (const char *text : bad) {
        QString error;
        EXPECT_FALSE(DSPredicate::fromString(QString::fromUtf8(text), &error)) << text;
        EXPECT_FALSE(error.isEmpty()) << text;
    }
    QString error;
    DSPredicate::fromString(u"value 5", &error);
    EXPECT_EQ(str(error), "Expected an operator at character 7");
    DSPredicate::fromString(u"value < 5 value", &error);
    EXPECT_EQ(str(error), "Expected AND, OR or the end at character 11");
    DSPredicate::fromString(u"value <", &error);
    EXPECT_EQ(str(error), "Expected a constant or a key path at the end");
}

TEST(PredicateText, NestingIsBounded)
{
    const auto nested = [](int levels, const char *open, const char *inner, const char *close) {
        QString text;
        for (int i = 0; i < levels; ++i)
            text += QLatin1String(open);
        text += QLatin1String(inner);
        for (int i = 0; i < levels; ++i)
            text += QLatin1String(close);
        return text;
    };
    EXPECT_TRUE(DSPredicate::fromString(nested(60, "(", "a == 1", ")")));
    EXPECT_TRUE(DSPredicate::fromString(nested(60, "NOT ", "a == 1", "")));
    EXPECT_TRUE(DSPredicate::fromString(nested(60, "{", "", "}").prepend(u"a IN ")));
    for (int levels : {100, 100000}) {
        QString error;
        EXPECT_FALSE(DSPredicate::fromString(nested(levels, "(", "a == 1", ")"), &error));
        EXPECT_EQ(str(error).rfind("Predicate nested too deeply", 0), 0u) << str(error);
        EXPECT_FALSE(DSPredicate::fromString(nested(levels, "NOT ", "a == 1", "")));
        EXPECT_FALSE(DSPredicate::fromString(nested(levels, "{", "", "}").prepend(u"a IN ")));
        EXPECT_FALSE(DSPredicate::fromString(nested(levels, "a == 1 AND (b == 1 OR (", "c == 1", "))")));
    }
}

// Random trees of every node, operator, option and value kind: both forms
// give each one back equal.
class RandomTrees
{
public:
    explicit RandomTrees(unsigned seed) : m_random(seed) {}

    DSPredicatePtr predicate(int depth)
    {
        if (depth >= 5 || pick(3) > 0) {
            return DSComparisonPredicate::make(expression(depth), ds_predicate_operator_types[pick(std::size(ds_predicate_operator_types))], expression(depth),
                                               DSComparisonOptions::fromInt(unsigned(pick(4))));
        }
        std::vector<DSPredicatePtr> members;
        for (size_t n = pick(4); n > 0; --n)
            members.push_back(predicate(depth + 1));
        return DSCompoundPredicate::make(DSCompoundPredicateType(pick(3)), std::move(members));
    }

private:
    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(m_random); }

    double number()
    {
        static const double special[] = {0, -0.0, 0.1, 1e-320, -1e308, 1e15, -1e-20, 573091200.123456789,
                                         INFINITY, -INFINITY, NAN};
        if (pick(2) == 0)
            return special[pick(std::size(special))];
        const quint64 bits = m_random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    QString text()
    {
        static const char16_t pool[] = u"aZ_09 \"\\\n\r\t\x01\x7f\u00e9\u0301#.{}()[]*?";
        QString result;
        for (size_t n = pick(8); n > 0; --n) {
            if (pick(8) == 0)
                result += QStringLiteral("😀");
            else
                result += QChar(pool[pick(std::size(pool) - 1)]);
        }
        return result;
    }

    V value(int depth)
    {
        switch (pick(depth < 4 ? 6 : 5)) {
        case 0: return V();
        case 1: return V::fromBool(pick(2));
        case 2: return V::fromNumber(number());
        case 3: return V::fromString(text());
        case 4: return V::fromDate(number());
        default: {
            std::vector<V> elements;
            for (size_t n = pick(4); n > 0; --n)
                elements.push_back(value(depth + 1));
            return V::fromList(std::move(elements));
        }
        }
    }

    DSExpression expression(int depth)
    {
        if (pick(2) == 0)
            return DSExpression::forConstantValue(value(depth));
        static const char *const names[] = {"value", "label", "a", "_b2", "AND", "in", "Date", "nan", "none"};
        QStringList path;
        for (size_t n = pick(3) + 1; n > 0; --n)
            path << QLatin1String(names[pick(std::size(names))]);
        return DSExpression::forKeyPath(path.join(QLatin1Char('.')));
    }

    std::mt19937_64 m_random;
};

TEST(PredicateForms, RandomTreesRoundTrip)
{
    RandomTrees trees(20190301);
    for (int i = 0; i < 2000; ++i) {
        const DSPredicatePtr predicate = trees.predicate(0);
        expectBothFormsRoundTrip(*predicate);
        if (testing::Test::HasFailure())
            break;
    }
}

QCborValue tagged(const QCborValue &node)
{
    return QCborValue(QCborTag(DSPredicate::propertyListTag), node);
}

QCborMap nodeOf(const char *text)
{
    return DSPredicate::fromString(QString::fromUtf8(text))->toPropertyList().taggedValue().toMap();
}

QCborMap with(QCborMap map, const char *key, const QCborValue &value)
{
    map.insert(QLatin1String(key), value);
    return map;
}

QCborMap without(QCborMap map, const char *key)
{
    map.remove(QLatin1String(key));
    return map;
}

QCborValue nestedCompounds(int levels)
{
    QCborValue node = nodeOf("x == 1");
    for (int i = 1; i < levels; ++i)
        node = with(nodeOf("AND ()"), "subpredicates", QCborArray{node});
    return tagged(node);
}

QCborValue nestedList(int levels)
{
    QCborValue list = QCborArray{};
    for (int i = 1; i < levels; ++i)
        list = QCborArray{list};
    return tagged(with(nodeOf("x IN {}"), "right", QCborMap{{QLatin1String("constant"), list}}));
}

TEST(PredicatePropertyList, HostileValuesAreRefused)
{
    const QCborMap comparison = nodeOf("x == 1");
    const QCborMap compound = nodeOf("AND (x == 1)");
    const auto left = [&](const QCborValue &expression) { return tagged(with(comparison, "left", expression)); };
    const auto constant = [&](const QCborValue &value) {
        return left(QCborMap{{QLatin1String("constant"), value}});
    };
    const auto keyPath = [&](const QCborValue &path) { return left(QCborMap{{QLatin1String("keyPath"), path}}); };

    const std::pair<const char *, QCborValue> cases[] = {
        {"untagged node", comparison},
        {"wrong tag", QCborValue(QCborTag(1234), comparison)},
        {"tag around an array", tagged(QCborArray{})},
        {"tag around an integer", tagged(4)},
        {"unknown kind", tagged(with(comparison, "kind", "regex"))},
        {"kind not text", tagged(with(comparison, "kind", 1))},
        {"no kind", tagged(without(comparison, "kind"))},
        {"no operator", tagged(without(comparison, "operator"))},
        {"no options", tagged(without(comparison, "options"))},
        {"extra key", tagged(with(comparison, "note", "x"))},
        {"operator 11", tagged(with(comparison, "operator", 11))},
        {"operator -1", tagged(with(comparison, "operator", -1))},
        {"operator huge", tagged(with(comparison, "operator", qint64(1) << 40))},
        {"operator as text", tagged(with(comparison, "operator", "4"))},
        {"operator as double", tagged(with(comparison, "operator", 4.0))},
        {"options 4", tagged(with(comparison, "options", 4))},
        {"options -1", tagged(with(comparison, "options", -1))},
        {"left empty", left(QCborMap{})},
        {"left with both keys", left(QCborMap{{QLatin1String("constant"), 1}, {QLatin1String("keyPath"), "a"}})},
        {"left not a map", left(1)},
        {"left unknown key", left(QCborMap{{QLatin1String("function"), "now"}})},
        {"key path starting with a digit", keyPath("1abc")},
        {"key path with an empty name", keyPath("a..b")},
        {"empty key path", keyPath("")},
        {"key path with a space", keyPath("a b")},
        {"key path not text", keyPath(1)},
        {"byte array constant", constant(QByteArray("x"))},
        {"undefined constant", constant(QCborValue())},
        {"simple value constant", constant(QCborValue(QCborSimpleType(99)))},
        {"foreign tag constant", constant(QCborValue(QCborTag(99), 1))},
        {"date tag around text", constant(QCborValue(QCborTag(DSPredicate::dateTag), "2019"))},
        {"map constant", constant(QCborMap{})},
        {"list holding bytes", constant(QCborArray{1, QByteArray("x")})},
        {"compound type 3", tagged(with(compound, "type", 3))},
        {"compound type -1", tagged(with(compound, "type", -1))},
        {"subpredicates not a list", tagged(with(compound, "subpredicates", 1))},
        {"null subpredicate", tagged(with(compound, "subpredicates", QCborArray{nullptr}))},
        {"subpredicate not a map", tagged(with(compound, "subpredicates", QCborArray{"x == 1"}))},
        {"bad subpredicate", tagged(with(compound, "subpredicates", QCborArray{with(comparison, "operator", 12)}))},
        {"compound with extra key", tagged(with(compound, "operator", 4))},
        {"compounds nested too deep", nestedCompounds(DSPredicate::maximumDepth + 1)},
        {"compounds nested far too deep", nestedCompounds(5000)},
        {"lists nested too deep", nestedList(DSPredicate::maximumDepth)},
    };
    for (const auto &[name, value] : cases) {
        QString error;
        EXPECT_FALSE(DSPredicate::fromPropertyList(value, &error)) << name;
        EXPECT_FALSE(error.isEmpty()) << name;
    }

    for (const QCborValue &accepted : {nestedCompounds(DSPredicate::maximumDepth),
                                       nestedList(DSPredicate::maximumDepth - 1),
                                       tagged(with(comparison, "right", QCborMap{{QLatin1String("constant"), 7}})),
                                       tagged(with(nodeOf("NOT ()"), "subpredicates",
                                                   QCborArray{comparison, comparison}))}) {
        QString error;
        const DSPredicatePtr predicate = DSPredicate::fromPropertyList(accepted, &error);
        ASSERT_TRUE(predicate) << str(error);
        expectBothFormsRoundTrip(*predicate);
    }
}

// Damaged bytes, as a pasteboard or a damaged file may hand over, either
// decode to a predicate that is stable from then on or are refused with a
// reason; nothing crashes.
TEST(PredicatePropertyList, DamagedBytesAreRefusedOrStable)
{
    std::mt19937 random(7);
    std::vector<QByteArray> originals;
    for (const char *text : kCanonicalTexts)
        originals.push_back(DSPredicate::fromString(QString::fromUtf8(text))->toPropertyList().toCbor());
    int refused = 0;
    for (int i = 0; i < 5000; ++i) {
        QByteArray bytes = originals[random() % originals.size()];
        for (int n = random() % 4 + 1; n > 0; --n)
            bytes[random() % bytes.size()] = char(random());
        if (random() % 4 == 0)
            bytes.truncate(random() % bytes.size());
        QString error;
        const DSPredicatePtr predicate = DSPredicate::fromPropertyList(QCborValue::fromCbor(bytes), &error);
        if (!predicate) {
            EXPECT_FALSE(error.isEmpty());
            ++refused;
            continue;
        }
        expectBothFormsRoundTrip(*predicate);
        if (testing::Test::HasFailure())
            break;
    }
    EXPECT_GT(refused, 500);
}

TEST(PredicateText, DamagedTextIsRefusedOrStable)
{
    std::mt19937 random(11);
    static const char16_t pool[] = u"()\"{}#,.[]<=>!-1eEaxNOTANDOR \\";
    for (int i = 0; i < 5000; ++i) {
        QString text = QString::fromUtf8(kCanonicalTexts[random() % std::size(kCanonicalTexts)]);
        for (int n = random() % 3 + 1; n > 0; --n) {
            const qsizetype at = random() % (text.size() + 1);
            if (random() % 2 == 0 && at < text.size())
                text.remove(at, 1);
            else
                text.insert(at, QChar(pool[random() % (std::size(pool) - 1)]));
        }
        QString error;
        const DSPredicatePtr predicate = DSPredicate::fromString(text, &error);
        if (!predicate) {
            EXPECT_FALSE(error.isEmpty()) << str(text);
            continue;
        }
        expectBothFormsRoundTrip(*predicate);
        if (testing::Test::HasFailure())
            break;
    }
}

} // namespace
