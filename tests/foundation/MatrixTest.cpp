#include "foundation/CCommonMatrix.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <initializer_list>

namespace {

using M = CCommonMatrix;
using Ptr = CCommonMatrix::Ptr;

using Rows = std::initializer_list<std::initializer_list<double>>;

// A matrix from rows written as they read.
Ptr make(Rows rows)
{
    const int r = int(rows.size());
    const int c = int(rows.begin()->size());
    Ptr m(M::NewMatrix(r, c));
    int i = 0;
    for (const auto& row : rows) {
        int j = 0;
        for (const double v : row)
            m->at(i, j++) = v;
        ++i;
    }
    return m;
}

void expectNear(const Matrix* actual, const Matrix* expected, double tolerance)
{
    ASSERT_TRUE(actual);
    ASSERT_EQ(actual->rows, expected->rows);
    ASSERT_EQ(actual->cols, expected->cols);
    for (int i = 0; i < expected->rows; ++i) {
        for (int j = 0; j < expected->cols; ++j)
            EXPECT_NEAR(actual->at(i, j), expected->at(i, j), tolerance) << i << ", " << j;
    }
}

void expectNear(const Matrix* actual, Rows expected, double tolerance)
{
    expectNear(actual, make(expected).get(), tolerance);
}

void writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

TEST(CCommonMatrix, Inverse)
{
    struct Row {
        const char* name;
        Ptr a;
        Ptr expected; // compared exactly
        bool singular;
    };
    Row rows[] = {
        { "diagonal", make({ { 2, 0 }, { 0, 4 } }), make({ { 0.5, 0 }, { 0, 0.25 } }), false },
        { "swap needs row exchange", make({ { 0, 1 }, { 1, 0 } }), make({ { 0, 1 }, { 1, 0 } }),
            false },
        // Equal pivots keep the upper row; taking the lower one rounds differently.
        { "pivot tie keeps upper row", make({ { 3, 7 }, { 3, 2 } }),
            make({ { -0.13333333333333336, 0.4666666666666667 },
                { 0.20000000000000004, -0.20000000000000004 } }),
            false },
        { "singular", make({ { 1, 2 }, { 2, 4 } }), nullptr, true },
        // Rounding leaves a pivot of about 1e-17 where zero belongs.
        { "singular up to rounding", make({ { 0.1, 0.3 }, { 0.2, 0.6 } }), nullptr, true },
        { "not square", make({ { 1, 0, 0 }, { 0, 1, 0 } }), nullptr, true },
        { "non-finite", make({ { NAN, 0 }, { 0, 1 } }), nullptr, true },
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int before = M::LiveMatrixCount();
        bool singular = !row.singular;
        Matrix* inverse = M::Inverse(row.a.get(), &singular);
        ASSERT_TRUE(inverse); // a result is returned even for a singular matrix
        EXPECT_EQ(M::LiveMatrixCount(), before + 1);
        EXPECT_EQ(singular, row.singular);
        if (row.expected) {
            for (int i = 0; i < 2; ++i) {
                for (int j = 0; j < 2; ++j)
                    EXPECT_EQ(inverse->at(i, j), row.expected->at(i, j)) << i << ", " << j;
            }
        }
        M::FreeMatrix(inverse);
        EXPECT_EQ(M::LiveMatrixCount(), before);
    }

    Ptr a = make({ { 4, -2, 1 }, { 3, 6, -4 }, { 2, 1, 8 } });
    Ptr inverse(M::Inverse(a.get()));
    Ptr product(M::Multiply(a.get(), inverse.get()));
    Ptr identity(M::Identity(3));
    expectNear(product.get(), identity.get(), 1e-14);
}

TEST(CCommonMatrix, SizesAreCheckedAndCounted)
{
    const int before = M::LiveMatrixCount();
    const std::pair<int, int> bad[]
        = { { 0, 3 }, { 1 << 20, 1 << 20 }, { INT_MAX, INT_MAX }, { INT_MIN, -1 } };
    for (const auto& [r, c] : bad) {
        EXPECT_EQ(M::NewMatrix(r, c), nullptr) << r << " x " << c;
        EXPECT_EQ(M::ZeroMatrix(r, c), nullptr) << r << " x " << c;
    }
    EXPECT_EQ(M::LiveMatrixCount(), before);

    Ptr a = make({ { 1, 2 }, { 3, 4 } });
    Ptr b = make({ { 1, 2, 3 } });
    EXPECT_EQ(M::Multiply(a.get(), b.get()), nullptr);
    EXPECT_EQ(M::Add(a.get(), b.get()), nullptr);
    EXPECT_FALSE(M::AddTo(a.get(), b.get()));
    EXPECT_FALSE(M::SwapRows(a.get(), 0, 2));
    EXPECT_FALSE(M::ScaleRow(a.get(), -1, 2.0));
    EXPECT_EQ(M::ColumnRange(a.get(), 1, 2), nullptr);
    EXPECT_EQ(M::LeastSquares(a.get(), b.get()), nullptr);
    EXPECT_EQ(M::LiveMatrixCount(), before + 2);
}

TEST(CCommonMatrix, ProductsAndRowOperations)
{
    Ptr a = make({ { 1, 2 }, { 3, 4 }, { 5, 6 } });
    Ptr b = make({ { 1, 0, 2 }, { 0, 1, 3 } });
    Ptr ab(M::Multiply(a.get(), b.get()));
    expectNear(ab.get(), { { 1, 2, 8 }, { 3, 4, 18 }, { 5, 6, 28 } }, 0);

    Ptr ata(M::MultiplyAtB(a.get(), a.get()));
    expectNear(ata.get(), { { 35, 44 }, { 44, 56 } }, 0);

    Ptr bbt(M::MultiplyABt(b.get(), b.get()));
    expectNear(bbt.get(), { { 5, 6 }, { 6, 10 } }, 0);

    Ptr columns(M::ColumnRange(b.get(), 1, 2));
    expectNear(columns.get(), { { 0, 2 }, { 1, 3 } }, 0);
    EXPECT_EQ(M::SumOfSquares(b.get()), 15.0);

    ASSERT_TRUE(M::SwapRows(a.get(), 0, 2));
    ASSERT_TRUE(M::ScaleRow(a.get(), 1, 2.0));
    ASSERT_TRUE(M::AddRowMultiple(a.get(), 0, 1, -1.0));
    expectNear(a.get(), { { -1, -2 }, { 6, 8 }, { 1, 2 } }, 0);
}

TEST(CCommonMatrix, LeastSquaresOnExactSystems)
{
    // x = (2, 3) solves A x = B exactly; any weighting must find it.
    Ptr a = make({ { 1, 0 }, { 0, 1 }, { 1, 1 }, { 2, -1 } });
    Ptr b = make({ { 2 }, { 3 }, { 5 }, { 1 } });
    Ptr expected = make({ { 2 }, { 3 } });
    Ptr w = make({ { 2, 0, 0, 0 }, { 0, 1, 0, 0 }, { 0, 0, 3, 0 }, { 0, 0, 0, 0.5 } });

    const int before = M::LiveMatrixCount();
    bool singular = true;
    Ptr x(M::LeastSquares(a.get(), b.get(), &singular));
    EXPECT_FALSE(singular);
    expectNear(x.get(), expected.get(), 1e-12);
    Ptr weighted(M::WeightedLeastSquares(a.get(), b.get(), w.get(), &singular));
    EXPECT_FALSE(singular);
    expectNear(weighted.get(), expected.get(), 1e-12);
    EXPECT_EQ(M::LiveMatrixCount(), before + 2);

    // Dependent columns: no unique solution, and the caller is told.
    Ptr dependent = make({ { 1, 2 }, { 2, 4 }, { 3, 6 } });
    Ptr rhs = make({ { 1 }, { 2 }, { 3 } });
    Ptr none(M::LeastSquares(dependent.get(), rhs.get(), &singular));
    EXPECT_TRUE(singular);
}

TEST(CCommonMatrix, SaveAndLoad)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Ptr m = make({ { 1.5, -0.00225, 0 }, { 123456, 1e-300, -7 } });

    const QString path = dir.filePath(QStringLiteral("m.mat"));
    ASSERT_TRUE(M::SaveMatrix(m.get(), path, QStringLiteral("*weights"), 0));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
        QByteArray("# name: weights\n# type: matrix\n# rows: 2\n# columns: 3\n"
                   " 1.500000e+00 -2.250000e-03 0.000000e+00\n"
                   " 1.234560e+05 1.000000e-300 -7.000000e+00\n"));
    Ptr loaded(M::LoadMatrix(path, 0));
    expectNear(loaded.get(), m.get(), 0);

    // Appending a second matrix leaves the first where a reader finds it.
    Ptr other = make({ { 9 } });
    ASSERT_TRUE(M::SaveMatrix(other.get(), path, QStringLiteral("other"), M::Append));
    Ptr first(M::LoadMatrix(path, 0));
    expectNear(first.get(), m.get(), 0);

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Outdata")));
    ASSERT_TRUE(M::SaveMatrixToOutdata(m.get(), dir.path(), QStringLiteral("plain"), M::NoHeader));
    const QString plain = dir.filePath(QStringLiteral("Outdata/plain.txt"));
    Ptr bare(M::LoadMatrix(plain, M::NoHeader, 2, 3));
    expectNear(bare.get(), m.get(), 0);

    EXPECT_FALSE(M::SaveMatrix(
        m.get(), dir.filePath(QStringLiteral("missing/m.mat")), QStringLiteral("m"), 0));
}

TEST(CCommonMatrix, LoadRejectsMalformedText)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray header = "# name: m\n# type: matrix\n# rows: 2\n# columns: 2\n";
    struct Row {
        const char* name;
        QByteArray text;
        int flags;
        int rows;
        int cols;
    };
    const Row rows[] = {
        { "empty file", "", 0, 0, 0 },
        { "wrong type", "# name: m\n# type: string\n# rows: 1\n# columns: 1\n 1\n", 0, 0, 0 },
        { "negative rows", "# name: m\n# type: matrix\n# rows: -1\n# columns: 1\n 1\n", 0, 0, 0 },
        { "huge size, tiny file",
            "# name: m\n# type: matrix\n# rows: 100000\n# columns: 100000\n 1\n", 0, 0, 0 },
        { "too few elements", header + " 1 2\n 3\n", 0, 0, 0 },
        { "not a number", header + " 1 2\n 3 x\n", 0, 0, 0 },
        { "trailing garbage", header + " 1 2\n 3 4abc\n", 0, 0, 0 },
        { "nan", header + " 1 2\n nan 4\n", 0, 0, 0 },
        { "no header, no size", " 1 2\n 3 4\n", M::NoHeader, 0, 0 },
        { "no header, size beyond the file", " 1 2\n 3 4\n", M::NoHeader, 3, 3 },
    };
    const int before = M::LiveMatrixCount();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath(QStringLiteral("bad.mat"));
        writeFile(path, row.text);
        EXPECT_EQ(M::LoadMatrix(path, row.flags, row.rows, row.cols), nullptr);
    }
    EXPECT_EQ(M::LoadMatrix(dir.filePath(QStringLiteral("absent.mat")), 0), nullptr);
    EXPECT_EQ(M::LiveMatrixCount(), before);

    // What "%lf" accepts reads back: signs, no fraction, Windows line ends.
    const QString path = dir.filePath(QStringLiteral("good.mat"));
    writeFile(
        path, "# name: m\r\n# type: matrix\r\n# rows: 2\r\n# columns: 2\r\n+1 -2\r\n3e2 .5\r\n");
    Ptr good(M::LoadMatrix(path, 0));
    expectNear(good.get(), { { 1, -2 }, { 300, 0.5 } }, 0);
}

TEST(CCommonMatrix, EigenAndPrincipalComponents)
{
    // Eigenvalues -5, 3, 1, sorted by decreasing magnitude.
    const std::vector<double> c = { 2, 1, 0, 1, 2, 0, 0, 0, -5 };
    std::vector<double> a = c;
    std::vector<double> values;
    std::vector<double> vectors;
    ASSERT_TRUE(M::JacobiEigen(a, 3, values, vectors, 0.0));
    ASSERT_EQ(values.size(), 3u);
    EXPECT_NEAR(values[0], -5, 1e-12);
    EXPECT_NEAR(values[1], 3, 1e-12);
    EXPECT_NEAR(values[2], 1, 1e-12);
    Ptr cm = make({ { 2, 1, 0 }, { 1, 2, 0 }, { 0, 0, -5 } });
    Ptr v(M::NewMatrix(3, 3));
    Ptr lambda(M::NewMatrix(3, 1));
    for (int i = 0; i < 3; ++i) {
        lambda->at(i, 0) = values[std::size_t(i)];
        for (int k = 0; k < 3; ++k)
            v->at(i, k) = vectors[std::size_t(i) * 3 + k];
    }
    EXPECT_TRUE(M::CheckEigen(cm.get(), v.get(), lambda.get()));
    EXPECT_TRUE(M::CheckEigenStrict(cm.get(), v.get(), lambda.get()));
    lambda->at(2, 0) = 2; // a wrong eigenvalue is reported, the process goes on
    EXPECT_FALSE(M::CheckEigen(cm.get(), v.get(), lambda.get()));
    EXPECT_FALSE(M::CheckEigenStrict(cm.get(), v.get(), lambda.get()));

    std::vector<float> af(c.begin(), c.end());
    std::vector<float> valuesF;
    std::vector<float> vectorsF;
    ASSERT_TRUE(M::JacobiEigenFloat(af, 3, valuesF, vectorsF, 0.0f));
    EXPECT_NEAR(valuesF[0], -5, 1e-5);
    EXPECT_NEAR(valuesF[2], 1, 1e-5);
    std::vector<double> wrongSize = { 1, 2, 3 };
    EXPECT_FALSE(M::JacobiEigen(wrongSize, 2, values, vectors, 0.0));
    std::vector<double> infinite = { 1, INFINITY, INFINITY, 1 };
    EXPECT_TRUE(M::JacobiEigen(infinite, 2, values, vectors, 0.0)); // returns, no endless loop

    // Three points on the line through (1, 2) along (1, 2): one component carries everything.
    Ptr x1 = make({ { 0 }, { 0 } });
    Ptr x2 = make({ { 1 }, { 2 } });
    Ptr x3 = make({ { 2 }, { 4 } });
    const int before = M::LiveMatrixCount();
    Matrix* means = nullptr;
    Matrix* eigenvalues = nullptr;
    Matrix* components = nullptr;
    ASSERT_TRUE(M::PrincipalComponentsOfVectors(
        { x1.get(), x2.get(), x3.get() }, &means, &eigenvalues, &components));
    Ptr ownedMeans(means);
    Ptr ownedValues(eigenvalues);
    Ptr ownedComponents(components);
    EXPECT_EQ(M::LiveMatrixCount(), before + 3);
    EXPECT_EQ(means->at(0, 0), 1.0);
    EXPECT_EQ(means->at(1, 0), 2.0);
    ASSERT_EQ(eigenvalues->rows, 2);
    EXPECT_NEAR(eigenvalues->at(0, 0), 10, 1e-12);
    EXPECT_NEAR(eigenvalues->at(1, 0), 0, 1e-12);
    ASSERT_EQ(components->cols, 2);
    EXPECT_NEAR(std::fabs(components->at(0, 0)), 1 / std::sqrt(5.0), 1e-12);
    EXPECT_NEAR(std::fabs(components->at(1, 0)), 2 / std::sqrt(5.0), 1e-12);
    EXPECT_EQ(x2->at(1, 0), 2.0); // the vectors themselves stay as they were
    EXPECT_FALSE(M::PrincipalComponentsOfVectors({ x1.get() }, &means, &eigenvalues, &components));
}

} // namespace
