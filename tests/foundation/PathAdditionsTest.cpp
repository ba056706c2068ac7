#include "foundation/BezierPathAdditions.h"

#include <QStringList>
#include <QVariantList>
#include <cfloat>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

using platform::BezierPath;
using platform::PathElementKind;
using platform::Point;

// "M x,y", "L x,y", "C c1x,c1y c2x,c2y x,y" and "Z", separated by spaces.
BezierPath parse(const char* text)
{
    BezierPath path;
    const QStringList tokens
        = QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const auto point = [&](int i) {
        const QStringList xy = tokens[i].split(QLatin1Char(','));
        return Point(xy[0].toDouble(), xy[1].toDouble());
    };
    for (int i = 0; i < tokens.size(); ++i) {
        if (tokens[i] == QLatin1String("M")) {
            path.moveTo(point(++i));
        } else if (tokens[i] == QLatin1String("L")) {
            path.lineTo(point(++i));
        } else if (tokens[i] == QLatin1String("C")) {
            const Point c1 = point(i + 1);
            const Point c2 = point(i + 2);
            path.curveTo(point(i + 3), c1, c2);
            i += 3;
        } else if (tokens[i] == QLatin1String("Z")) {
            path.closePath();
        }
    }
    return path;
}

QVariantMap entry(const char* kind, std::initializer_list<std::pair<const char*, QVariant>> points)
{
    QVariantMap map;
    if (kind)
        map.insert(QStringLiteral("element"), QString::fromLatin1(kind));
    for (const auto& [key, value] : points)
        map.insert(QString::fromLatin1(key), value);
    return map;
}

QVariantMap plist(const QVariantList& elements)
{
    return { { QStringLiteral("elements"), elements } };
}

TEST(PathAdditions, QuartzPathClosesTheLastSubpath)
{
    struct Row {
        const char* name;
        const char* path;
        const char* expected;
    };
    const Row rows[] = {
        { "open rectangle gets closed", "M 0,0 L 10,0 L 10,10 L 0,10",
            "M 0,0 L 10,0 L 10,10 L 0,10 Z" },
        { "closed rectangle closed once", "M 0,0 L 10,0 L 10,10 L 0,10 Z",
            "M 0,0 L 10,0 L 10,10 L 0,10 Z" },
        { "only the last of two open subpaths", "M 0,0 L 1,0 M 5,5 L 6,5",
            "M 0,0 L 1,0 M 5,5 L 6,5 Z" },
        { "trailing move closes its own subpath", "M 0,0 L 1,0 M 5,5", "M 0,0 L 1,0 M 5,5 Z" },
        { "curve keeps its point order", "M 0,0 C 1,2 3,4 5,6", "M 0,0 C 1,2 3,4 5,6 Z" },
        { "moves alone stay open", "M 0,0 M 3,3", "M 0,0 M 3,3" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<BezierPath> converted = quartzPath(parse(row.path));
        ASSERT_TRUE(converted.has_value());
        const BezierPath expected = parse(row.expected);
        EXPECT_TRUE(isEqual(*converted, &expected));
    }
    EXPECT_FALSE(quartzPath(BezierPath()).has_value());
}

TEST(PathAdditions, Equality)
{
    const BezierPath path = parse("M 0,0 L 10,0 C 10,5 5,10 0,10 Z");
    const BezierPath copy = path;
    const BezierPath rebuilt = parse("M 0,0 L 10,0 C 10,5 5,10 0,10 Z");
    EXPECT_TRUE(isEqual(path, &path));
    EXPECT_TRUE(isEqual(path, &copy));
    EXPECT_TRUE(isEqual(path, &rebuilt));
    EXPECT_EQ(hash(path), hash(rebuilt));
    EXPECT_FALSE(isEqual(path, nullptr));
    const BezierPath empty1;
    const BezierPath empty2;
    EXPECT_TRUE(isEqual(empty1, &empty2));
    EXPECT_EQ(hash(empty1), 0u);

    struct Row {
        const char* name;
        const char* other;
        bool sameHash;
    };
    const Row rows[] = {
        { "one coordinate off by 0.001", "M 0,0 L 10,0 C 10,5 5,10.001 0,10 Z", true },
        { "control points swapped", "M 0,0 L 10,0 C 5,10 10,5 0,10 Z", true },
        { "line for curve", "M 0,0 L 10,0 L 0,10 Z", false },
        { "no close", "M 0,0 L 10,0 C 10,5 5,10 0,10", false },
        { "one element more", "M 0,0 L 10,0 C 10,5 5,10 0,10 Z M 1,1", false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const BezierPath other = parse(row.other);
        EXPECT_FALSE(isEqual(path, &other));
        EXPECT_FALSE(isEqual(other, &path));
        EXPECT_EQ(hash(path) == hash(other), row.sameHash);
    }
}

TEST(PathAdditions, HashTakesLeadingDigits)
{
    // A single move hashes to the digit of its point, masked to three bits.
    struct Row {
        const char* name;
        Point p;
        std::uint64_t digit;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Row rows[] = {
        { "origin", { 0, 0 }, 0 },
        { "3.5", { 3.5, 0 }, 3 },
        { "sum of absolute values", { -1.75, 1.75 }, 3 },
        { "power of ten", { 1000, 0 }, 1 },
        { "small", { 0, 0.00042 }, 4 },
        { "digit 9 keeps three bits", { 9, 0 }, 1 },
        { "largest double", { DBL_MAX, 0 }, 1 },
        { "sum overflows", { DBL_MAX, DBL_MAX }, 0 },
        { "NaN", { std::nan(""), 1 }, 0 },
        { "infinity", { -inf, 1 }, 0 },
        { "smallest subnormal", { std::numeric_limits<double>::denorm_min(), 0 }, 0 },
        // log10 rounds this up to the next power: the quotient falls below 1 and would give 0.
        { "just below 1000", { 999.9999999999999, 0 }, 9 & 7 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        BezierPath path;
        path.moveTo(row.p);
        EXPECT_EQ(hash(path), row.digit);
    }
    // Kinds rotate by two bits, points by three: M 3.5,0 L 0,0 gives ((3 << 2) ^ 1) << 3.
    EXPECT_EQ(hash(parse("M 3.5,0 L 0,0")), 104u);
}

TEST(PathAdditions, PropertyListRoundTrip)
{
    const BezierPath path = parse("M 0.1,-0.3 L 1e-300,1e300 C 0.3333333333333333,2 3,4 5.5,-6 Z "
                                  "M 7,8 L 9,10");
    const QVariantMap dict = propertyListRepresentation(path);
    const QVariantList elements = dict.value(QStringLiteral("elements")).toList();
    ASSERT_EQ(elements.size(), 6);
    const QVariantMap curve = elements[2].toMap();
    EXPECT_EQ(curve.value(QStringLiteral("element")).toString(), QStringLiteral("CURVETO"));
    EXPECT_EQ(curve.value(QStringLiteral("point")).toString(), QStringLiteral("{5.5, -6}"));
    EXPECT_EQ(curve.value(QStringLiteral("control2")).toString(), QStringLiteral("{3, 4}"));
    EXPECT_EQ(elements[3].toMap(), entry("CLOSE", {}));

    BezierPath loaded;
    loadPropertyListRepresentation(loaded, dict);
    EXPECT_TRUE(isEqual(loaded, &path));

    // Loading appends to what the path holds.
    BezierPath target = parse("M 100,100 L 200,100");
    loadPropertyListRepresentation(target, dict);
    ASSERT_EQ(target.elementCount(), 2 + path.elementCount());
    EXPECT_EQ(target.elementAt(1).points[0], Point(200, 100));
    EXPECT_EQ(target.elementAt(2).points[0], Point(0.1, -0.3));
}

TEST(PathAdditions, LoadSkipsMalformedEntries)
{
    struct Row {
        const char* name;
        QVariant bad;
    };
    const Row rows[] = {
        { "curve without control2",
            entry("CURVETO", { { "point", "{1, 1}" }, { "control1", "{2, 2}" } }) },
        { "line without point", entry("LINETO", {}) },
        { "unknown kind", entry("ARCTO", { { "point", "{1, 1}" } }) },
        { "no kind", entry(nullptr, { { "point", "{1, 1}" } }) },
        { "unparsable point", entry("LINETO", { { "point", "{1, x}" } }) },
        { "three coordinates", entry("MOVETO", { { "point", "{1, 2, 3}" } }) },
        { "NaN point", entry("LINETO", { { "point", "{nan, 1}" } }) },
        { "point of the wrong kind", entry("LINETO", { { "point", QVariantList { 1, 2 } } }) },
        { "entry not a dictionary", QVariant(42) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        BezierPath path;
        loadPropertyListRepresentation(path,
            plist({ entry("MOVETO", { { "point", "{0, 0}" } }), row.bad,
                entry("LINETO", { { "point", " { 3 , 4 } " } }) }));
        const BezierPath expected = parse("M 0,0 L 3,4");
        EXPECT_TRUE(isEqual(path, &expected));
    }

    BezierPath path = parse("M 1,1");
    loadPropertyListRepresentation(path, QVariantMap());
    loadPropertyListRepresentation(path, { { QStringLiteral("elements"), QStringLiteral("x") } });
    EXPECT_EQ(path.elementCount(), 1);
}

} // namespace
