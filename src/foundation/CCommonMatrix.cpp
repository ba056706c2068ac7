#include "foundation/CCommonMatrix.h"

#include <QDebug>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <string_view>

namespace {

std::atomic<int> s_liveMatrices { 0 };

// Self-checks of the principal-component routines run from this level up; it stays 0 in
// shipped builds.
int s_debugLevel = 0;

// 2^27 doubles (1 GiB) is far beyond any matrix the program builds; larger requests are bad
// numbers, not needs.
constexpr std::int64_t kMaxElements = std::int64_t(1) << 27;
// Matrix files are small text; this bounds what LoadMatrix reads into memory.
constexpr qint64 kMaxMatrixFileBytes = qint64(64) << 20;
// A pivot below this fraction of the largest element is rounding residue of a zero.
constexpr double kSingularRatio = 1e-12;
constexpr int kMaxJacobiSweeps = 1000;

using Ptr = CCommonMatrix::Ptr;

Ptr adopt(Matrix* m)
{
    return Ptr(m);
}

bool sameSize(const Matrix* a, const Matrix* b)
{
    return a && b && a->rows == b->rows && a->cols == b->cols;
}

bool rowInRange(const Matrix* m, int row, const char* routine)
{
    if (m && row >= 0 && row < m->rows)
        return true;
    qWarning("%s: row %d outside the matrix (%d rows)", routine, row, m ? m->rows : 0);
    return false;
}

struct Pivot {
    int column;
    double value; // before the row is scaled
};

// The reduction of GaussJordanReduce, also telling which columns received a pivot.
std::vector<Pivot> reduce(Matrix* m)
{
    std::vector<Pivot> pivots;
    int r = 0;
    int c = 0;
    while (c < m->cols && r < m->rows) {
        int p = r;
        double best = std::fabs(m->at(r, c));
        for (int i = r + 1; i < m->rows; ++i) {
            const double v = std::fabs(m->at(i, c));
            if (v > best) {
                best = v;
                p = i;
            }
        }
        if (best == 0.0) {
            ++c;
            continue;
        }
        if (p != r)
            CCommonMatrix::SwapRows(m, p, r);
        const double pivot = m->at(r, c);
        pivots.push_back({ c, pivot });
        CCommonMatrix::ScaleRow(m, r, 1.0 / pivot);
        for (int i = 0; i < m->rows; ++i) {
            if (i != r)
                CCommonMatrix::AddRowMultiple(m, i, r, -m->at(i, c));
        }
        ++r;
        ++c;
    }
    return pivots;
}

double maxAbs(const Matrix* m)
{
    double best = 0.0;
    for (const double v : m->storage)
        best = std::max(best, std::fabs(v));
    return best;
}

// The composite routines must leave exactly their result alive.
bool liveCountBalanced(int before, const char* format)
{
    const int after = CCommonMatrix::LiveMatrixCount();
    if (after == before + 1)
        return true;
    qWarning(format, before, after);
    return false;
}

bool isSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\f' || ch == '\v';
}

std::string_view nextLine(std::string_view& text)
{
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// A header line "<prefix><value>", the value trimmed.
bool headerValue(std::string_view line, std::string_view prefix, std::string_view* value)
{
    if (line.substr(0, prefix.size()) != prefix)
        return false;
    *value = trimmed(line.substr(prefix.size()));
    return true;
}

bool parseDimension(std::string_view line, std::string_view prefix, int* out)
{
    std::string_view value;
    if (!headerValue(line, prefix, &value) || value.empty())
        return false;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), *out);
    return ec == std::errc() && end == value.data() + value.size() && *out > 0;
}

// The next whitespace-separated finite number, as "%lf" would read it.
bool parseElement(std::string_view& text, double* out)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
    if (ec != std::errc() || end == text.data())
        return false;
    text.remove_prefix(std::size_t(end - text.data()));
    if (!text.empty() && !isSpace(text.front()))
        return false;
    return std::isfinite(*out);
}

template <typename T> T offDiagonalNorm(const std::vector<T>& a, int n)
{
    T sum = 0;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (i != j)
                sum += a[std::size_t(i) * n + j] * a[std::size_t(i) * n + j];
        }
    }
    return std::sqrt(sum);
}

template <typename T> void rotate(std::vector<T>& a, std::vector<T>& v, int n, int p, int q)
{
    const auto at
        = [n](std::vector<T>& m, int i, int j) -> T& { return m[std::size_t(i) * n + j]; };
    const T theta = (at(a, q, q) - at(a, p, p)) / (2 * at(a, p, q));
    T t;
    if (std::isfinite(theta * theta)) {
        t = 1 / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        if (theta < 0)
            t = -t;
    } else {
        t = 1 / (2 * theta);
    }
    const T c = 1 / std::sqrt(t * t + 1);
    const T s = t * c;
    for (int k = 0; k < n; ++k) {
        const T kp = at(a, k, p);
        const T kq = at(a, k, q);
        at(a, k, p) = c * kp - s * kq;
        at(a, k, q) = s * kp + c * kq;
    }
    for (int k = 0; k < n; ++k) {
        const T pk = at(a, p, k);
        const T qk = at(a, q, k);
        at(a, p, k) = c * pk - s * qk;
        at(a, q, k) = s * pk + c * qk;
    }
    at(a, p, q) = 0;
    at(a, q, p) = 0;
    for (int k = 0; k < n; ++k) {
        const T kp = at(v, k, p);
        const T kq = at(v, k, q);
        at(v, k, p) = c * kp - s * kq;
        at(v, k, q) = s * kp + c * kq;
    }
}

template <typename T>
bool jacobi(
    std::vector<T>& a, int n, std::vector<T>& values, std::vector<T>& vectors, T floor, T tolerance)
{
    if (n <= 0 || a.size() != std::size_t(n) * std::size_t(n))
        return false;
    std::vector<T> v(a.size(), T(0));
    for (int i = 0; i < n; ++i)
        v[std::size_t(i) * n + i] = 1;

    const T off = offDiagonalNorm(a, n);
    if (off > 0 && std::isfinite(off)) {
        const T stop = std::max(floor, tolerance) * off / T(n);
        T threshold = off / T(n);
        // Non-finite elements never settle; the sweep limit ends those.
        for (int sweep = 0; sweep < kMaxJacobiSweeps && threshold > stop; ++sweep) {
            bool rotated = false;
            for (int p = 0; p < n; ++p) {
                for (int q = p + 1; q < n; ++q) {
                    if (std::fabs(a[std::size_t(p) * n + q]) > threshold) {
                        rotate(a, v, n, p, q);
                        rotated = true;
                    }
                }
            }
            if (!rotated)
                threshold /= T(n);
        }
    }

    std::vector<int> order(std::size_t(n), 0);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int i, int j) {
        return std::fabs(a[std::size_t(i) * n + i]) > std::fabs(a[std::size_t(j) * n + j]);
    });
    values.assign(std::size_t(n), T(0));
    vectors.assign(a.size(), T(0));
    for (int k = 0; k < n; ++k) {
        const int from = order[std::size_t(k)];
        values[std::size_t(k)] = a[std::size_t(from) * n + from];
        for (int i = 0; i < n; ++i)
            vectors[std::size_t(i) * n + k] = v[std::size_t(i) * n + from];
    }
    return true;
}

// Both eigen checks: the strict form stops at the first failing element.
bool checkEigen(const Matrix* c, const Matrix* v, const Matrix* lambda, bool strict)
{
    if (!c || !v || !lambda || c->rows != c->cols || v->rows != c->rows
        || lambda->rows * lambda->cols != v->cols) {
        qWarning("CheckEigen: matrix sizes do not match");
        return false;
    }
    Ptr cv = adopt(CCommonMatrix::Multiply(c, v));
    if (!cv)
        return false;
    bool ok = true;
    for (int j = 0; j < v->cols; ++j) {
        for (int i = 0; i < v->rows; ++i) {
            const double residual = cv->at(i, j) - v->at(i, j) * lambda->storage[std::size_t(j)];
            if (!(std::fabs(residual) < 1e-7)) {
                if (strict) {
                    qWarning("CheckEigenStrict: element (%d, %d) off by %g", i, j, residual);
                    return false;
                }
                ok = false;
            }
        }
    }
    return ok;
}

} // namespace

Matrix* CCommonMatrix::NewMatrix(int rows, int cols)
{
    const std::int64_t count = std::int64_t(rows) * std::int64_t(cols);
    if (rows <= 0 || cols <= 0 || count > kMaxElements) {
        qWarning("Matrix Size: %d X %d", rows, cols);
        return nullptr;
    }
    try {
        auto m = std::make_unique<Matrix>();
        m->rows = rows;
        m->cols = cols;
        m->storage.resize(std::size_t(count));
        m->columnTable.resize(std::size_t(cols));
        m->data = m->storage.data();
        for (int j = 0; j < cols; ++j)
            m->columnTable[std::size_t(j)] = m->data + std::size_t(j) * std::size_t(rows);
        m->columns = m->columnTable.data();
        ++s_liveMatrices;
        return m.release();
    } catch (const std::bad_alloc&) {
        qWarning("Matrix Size: %d X %d", rows, cols);
        return nullptr;
    }
}

Matrix* CCommonMatrix::ZeroMatrix(int rows, int cols)
{
    // NewMatrix's storage is value-initialised already; the fill states the contract.
    Matrix* m = NewMatrix(rows, cols);
    if (m)
        std::fill(m->storage.begin(), m->storage.end(), 0.0);
    return m;
}

void CCommonMatrix::FreeMatrix(Matrix* m)
{
    if (!m)
        return;
    std::unique_ptr<Matrix> owned(m);
    --s_liveMatrices;
}

int CCommonMatrix::LiveMatrixCount()
{
    return s_liveMatrices.load();
}

void CCommonMatrix::GaussJordanReduce(Matrix* m)
{
    if (m)
        reduce(m);
}

Matrix* CCommonMatrix::Inverse(const Matrix* a, bool* singular)
{
    if (singular)
        *singular = true;
    if (!a)
        return nullptr;
    const int before = LiveMatrixCount();
    Ptr w = adopt(ZeroMatrix(a->rows, 2 * a->cols));
    Ptr r = adopt(NewMatrix(a->rows, a->cols));
    if (!w || !r)
        return nullptr;
    for (int j = 0; j < a->cols; ++j) {
        for (int i = 0; i < a->rows; ++i)
            w->at(i, j) = a->at(i, j);
    }
    for (int i = 0; i < a->rows && i < a->cols; ++i)
        w->at(i, a->cols + i) = 1.0;

    const std::vector<Pivot> pivots = reduce(w.get());

    for (int j = 0; j < a->cols; ++j) {
        for (int i = 0; i < a->rows; ++i)
            r->at(i, j) = w->at(i, a->cols + j);
    }
    w.reset();
    if (!liveCountBalanced(before, "Error deallocating matricies: pre=%d post=%d"))
        return nullptr;

    if (singular) {
        const double smallest = kSingularRatio * maxAbs(a);
        bool invertible = a->rows == a->cols;
        for (int k = 0; invertible && k < a->cols; ++k) {
            invertible = k < int(pivots.size()) && pivots[std::size_t(k)].column == k
                && std::isfinite(pivots[std::size_t(k)].value)
                && std::fabs(pivots[std::size_t(k)].value) > smallest;
        }
        *singular = !invertible;
    }
    return r.release();
}

Matrix* CCommonMatrix::Identity(int n)
{
    Matrix* m = ZeroMatrix(n, n);
    if (m) {
        for (int i = 0; i < n; ++i)
            m->at(i, i) = 1.0;
    }
    return m;
}

Matrix* CCommonMatrix::CopyMatrix(const Matrix* a)
{
    if (!a)
        return nullptr;
    Matrix* m = NewMatrix(a->rows, a->cols);
    if (m)
        m->storage = a->storage;
    return m;
}

Matrix* CCommonMatrix::Multiply(const Matrix* a, const Matrix* b)
{
    if (!a || !b || a->cols != b->rows)
        return nullptr;
    Matrix* m = NewMatrix(a->rows, b->cols);
    if (!m)
        return nullptr;
    for (int j = 0; j < b->cols; ++j) {
        for (int i = 0; i < a->rows; ++i) {
            double sum = 0.0;
            for (int k = 0; k < a->cols; ++k)
                sum += a->at(i, k) * b->at(k, j);
            m->at(i, j) = sum;
        }
    }
    return m;
}

Matrix* CCommonMatrix::MultiplyAtB(const Matrix* a, const Matrix* b)
{
    if (!a || !b || a->rows != b->rows)
        return nullptr;
    Matrix* m = NewMatrix(a->cols, b->cols);
    if (!m)
        return nullptr;
    for (int j = 0; j < b->cols; ++j) {
        for (int i = 0; i < a->cols; ++i) {
            double sum = 0.0;
            for (int k = 0; k < a->rows; ++k)
                sum += a->at(k, i) * b->at(k, j);
            m->at(i, j) = sum;
        }
    }
    return m;
}

Matrix* CCommonMatrix::MultiplyABt(const Matrix* a, const Matrix* b)
{
    if (!a || !b || a->cols != b->cols)
        return nullptr;
    Matrix* m = NewMatrix(a->rows, b->rows);
    if (!m)
        return nullptr;
    for (int j = 0; j < b->rows; ++j) {
        for (int i = 0; i < a->rows; ++i) {
            double sum = 0.0;
            for (int k = 0; k < a->cols; ++k)
                sum += a->at(i, k) * b->at(j, k);
            m->at(i, j) = sum;
        }
    }
    return m;
}

Matrix* CCommonMatrix::Transpose(const Matrix* a)
{
    if (!a)
        return nullptr;
    Matrix* m = NewMatrix(a->cols, a->rows);
    if (!m)
        return nullptr;
    for (int j = 0; j < a->cols; ++j) {
        for (int i = 0; i < a->rows; ++i)
            m->at(j, i) = a->at(i, j);
    }
    return m;
}

Matrix* CCommonMatrix::Add(const Matrix* a, const Matrix* b)
{
    if (!sameSize(a, b))
        return nullptr;
    Matrix* m = CopyMatrix(a);
    if (m)
        AddTo(m, b);
    return m;
}

Matrix* CCommonMatrix::Subtract(const Matrix* a, const Matrix* b)
{
    if (!sameSize(a, b))
        return nullptr;
    Matrix* m = CopyMatrix(a);
    if (m) {
        for (std::size_t k = 0; k < m->storage.size(); ++k)
            m->storage[k] -= b->storage[k];
    }
    return m;
}

bool CCommonMatrix::AddTo(Matrix* a, const Matrix* b)
{
    if (!sameSize(a, b))
        return false;
    for (std::size_t k = 0; k < a->storage.size(); ++k)
        a->storage[k] += b->storage[k];
    return true;
}

bool CCommonMatrix::SwapRows(Matrix* m, int row1, int row2)
{
    if (!rowInRange(m, row1, "SwapRows") || !rowInRange(m, row2, "SwapRows"))
        return false;
    for (int j = 0; j < m->cols; ++j)
        std::swap(m->at(row1, j), m->at(row2, j));
    return true;
}

bool CCommonMatrix::ScaleRow(Matrix* m, int row, double factor)
{
    if (!rowInRange(m, row, "ScaleRow"))
        return false;
    for (int j = 0; j < m->cols; ++j)
        m->at(row, j) *= factor;
    return true;
}

bool CCommonMatrix::AddRowMultiple(Matrix* m, int dstRow, int srcRow, double factor)
{
    if (!rowInRange(m, dstRow, "AddRowMultiple") || !rowInRange(m, srcRow, "AddRowMultiple"))
        return false;
    for (int j = 0; j < m->cols; ++j)
        m->at(dstRow, j) += factor * m->at(srcRow, j);
    return true;
}

Matrix* CCommonMatrix::ColumnRange(const Matrix* a, int first, int last)
{
    if (!a || first < 0 || last < first || last >= a->cols) {
        qWarning("ColumnRange: columns %d..%d outside the matrix (%d columns)", first, last,
            a ? a->cols : 0);
        return nullptr;
    }
    Matrix* m = NewMatrix(a->rows, last - first + 1);
    if (m) {
        std::copy(a->columns[first], a->columns[first] + std::size_t(m->rows) * m->cols, m->data);
    }
    return m;
}

double CCommonMatrix::SumOfSquares(const Matrix* a)
{
    double sum = 0.0;
    if (a) {
        for (const double v : a->storage)
            sum += v * v;
    }
    return sum;
}

Matrix* CCommonMatrix::RandomMatrix(int rows, int cols)
{
    Matrix* m = NewMatrix(rows, cols);
    if (m) {
        for (double& v : m->storage)
            v = std::fabs(std::rand() / 2147483647.0);
    }
    return m;
}

Matrix* CCommonMatrix::LeastSquares(const Matrix* a, const Matrix* b, bool* singular)
{
    if (singular)
        *singular = true;
    const int before = LiveMatrixCount();
    Ptr result;
    {
        Ptr at = adopt(Transpose(a));
        Ptr ata = adopt(Multiply(at.get(), a));
        Ptr inverse = adopt(Inverse(ata.get(), singular));
        Ptr inverseAt = adopt(Multiply(inverse.get(), at.get()));
        result = adopt(Multiply(inverseAt.get(), b));
    }
    if (!result)
        return nullptr;
    if (!liveCountBalanced(before, "Error deallocating matricies: pre=%d post=%d"))
        return nullptr;
    return result.release();
}

Matrix* CCommonMatrix::WeightedLeastSquares(
    const Matrix* a, const Matrix* b, const Matrix* w, bool* singular)
{
    if (singular)
        *singular = true;
    const int before = LiveMatrixCount();
    Ptr result;
    {
        Ptr wa = adopt(Multiply(w, a));
        Ptr waT = adopt(Transpose(wa.get()));
        Ptr waTw = adopt(Multiply(waT.get(), w));
        Ptr normal = adopt(Multiply(waTw.get(), a));
        Ptr inverse = adopt(Inverse(normal.get(), singular));
        Ptr inverseWaT = adopt(Multiply(inverse.get(), waT.get()));
        Ptr inverseWaTw = adopt(Multiply(inverseWaT.get(), w));
        result = adopt(Multiply(inverseWaTw.get(), b));
    }
    if (!result)
        return nullptr;
    if (!liveCountBalanced(before, "Error deallocating matricies : pre=%d post=%d"))
        return nullptr;
    return result.release();
}

bool CCommonMatrix::SaveMatrix(const Matrix* m, const QString& path, const QString& name, int flags)
{
    if (!m)
        return false;
    QFile file(path);
    const QIODevice::OpenMode mode
        = QIODevice::WriteOnly | ((flags & Append) ? QIODevice::Append : QIODevice::Truncate);
    if (!file.open(mode)) {
        qWarning(
            "SaveMatrix: cannot open %s: %s", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    QByteArray text;
    if (!(flags & NoHeader)) {
        const QString shown = name.startsWith(QLatin1Char('*')) ? name.mid(1) : name;
        text += "# name: " + shown.toUtf8() + "\n";
        text += "# type: matrix\n";
        text += "# rows: " + QByteArray::number(m->rows) + "\n";
        text += "# columns: " + QByteArray::number(m->cols) + "\n";
    }
    // to_chars writes what "%e" writes, whatever the process locale.
    char buffer[64];
    for (int i = 0; i < m->rows; ++i) {
        for (int j = 0; j < m->cols; ++j) {
            const auto result = std::to_chars(
                buffer, buffer + sizeof buffer, m->at(i, j), std::chars_format::scientific, 6);
            text += ' ';
            text.append(buffer, result.ptr - buffer);
        }
        text += '\n';
    }
    if (file.write(text) != text.size() || !file.flush()) {
        qWarning(
            "SaveMatrix: cannot write %s: %s", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    return true;
}

bool CCommonMatrix::SaveMatrixToOutdata(
    const Matrix* m, const QString& directory, const QString& name, int flags)
{
    const QString extension = (flags & NoHeader) ? QStringLiteral(".txt") : QStringLiteral(".mat");
    return SaveMatrix(m, directory + QStringLiteral("/Outdata/") + name + extension, name, flags);
}

Matrix* CCommonMatrix::LoadMatrix(const QString& path, int flags, int rows, int cols)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning(
            "LoadMatrix: cannot open %s: %s", qPrintable(path), qPrintable(file.errorString()));
        return nullptr;
    }
    if (file.size() > kMaxMatrixFileBytes) {
        qWarning("LoadMatrix: %s is too large", qPrintable(path));
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    std::string_view text(bytes.constData(), std::size_t(bytes.size()));

    if (!(flags & NoHeader)) {
        std::string_view value;
        if (!headerValue(nextLine(text), "# name:", &value)
            || !headerValue(nextLine(text), "# type:", &value) || value != "matrix"
            || !parseDimension(nextLine(text), "# rows:", &rows)
            || !parseDimension(nextLine(text), "# columns:", &cols)) {
            qWarning("LoadMatrix: %s has no matrix header", qPrintable(path));
            return nullptr;
        }
    }
    // Every element takes at least one character and a separator, so the file's length bounds
    // the size before anything is allocated.
    const std::int64_t count = std::int64_t(rows) * std::int64_t(cols);
    if (rows <= 0 || cols <= 0 || count > (std::int64_t(text.size()) + 1) / 2) {
        qWarning("LoadMatrix: %s cannot hold a %d x %d matrix", qPrintable(path), rows, cols);
        return nullptr;
    }
    Ptr m = adopt(NewMatrix(rows, cols));
    if (!m)
        return nullptr;
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            if (!parseElement(text, &m->at(i, j))) {
                qWarning(
                    "LoadMatrix: %s: element (%d, %d) is not a number", qPrintable(path), i, j);
                return nullptr;
            }
        }
    }
    return m.release();
}

bool CCommonMatrix::JacobiEigen(std::vector<double>& a, int n, std::vector<double>& eigenvalues,
    std::vector<double>& eigenvectors, double tolerance)
{
    return jacobi(a, n, eigenvalues, eigenvectors, 1e-15, tolerance);
}

bool CCommonMatrix::JacobiEigenFloat(std::vector<float>& a, int n, std::vector<float>& eigenvalues,
    std::vector<float>& eigenvectors, float tolerance)
{
    return jacobi(a, n, eigenvalues, eigenvectors, 1e-7f, tolerance);
}

Matrix* CCommonMatrix::RowMeans(const Matrix* x)
{
    if (!x)
        return nullptr;
    Matrix* means = NewMatrix(x->rows, 1);
    if (!means)
        return nullptr;
    for (int i = 0; i < x->rows; ++i) {
        double sum = 0.0;
        for (int j = 0; j < x->cols; ++j)
            sum += x->at(i, j);
        means->at(i, 0) = sum / x->cols;
    }
    return means;
}

void CCommonMatrix::SubtractRowMeans(Matrix* x)
{
    Ptr means = adopt(RowMeans(x));
    if (!means)
        return;
    for (int j = 0; j < x->cols; ++j) {
        for (int i = 0; i < x->rows; ++i)
            x->at(i, j) -= means->at(i, 0);
    }
}

void CCommonMatrix::NormalizeColumns(Matrix* x)
{
    if (!x)
        return;
    for (int j = 0; j < x->cols; ++j) {
        double sum = 0.0;
        for (int i = 0; i < x->rows; ++i)
            sum += x->at(i, j) * x->at(i, j);
        if (sum == 0.0)
            continue;
        const double length = std::sqrt(sum);
        for (int i = 0; i < x->rows; ++i)
            x->at(i, j) /= length;
    }
}

bool CCommonMatrix::PrincipalComponents(
    Matrix* x, Matrix** means, Matrix** eigenvalues, Matrix** components)
{
    if (!x || x->cols < 2)
        return false;
    const int n = x->cols;
    Ptr rowMeans = adopt(RowMeans(x));
    if (!rowMeans)
        return false;
    SubtractRowMeans(x);
    Ptr gram = adopt(MultiplyAtB(x, x));
    if (!gram)
        return false;

    std::vector<double> a(std::size_t(n) * n);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j)
            a[std::size_t(i) * n + j] = gram->at(i, j);
    }
    std::vector<double> values;
    std::vector<double> vectors;
    if (!JacobiEigen(a, n, values, vectors, 0.0))
        return false;

    // The last component is the one centring removed.
    const int kept = n - 1;
    Ptr lambda = adopt(NewMatrix(kept, 1));
    Ptr v = adopt(NewMatrix(n, kept));
    if (!lambda || !v)
        return false;
    for (int k = 0; k < kept; ++k) {
        lambda->at(k, 0) = values[std::size_t(k)];
        for (int i = 0; i < n; ++i)
            v->at(i, k) = vectors[std::size_t(i) * n + k];
    }
    if (s_debugLevel >= 3 && !CheckEigenStrict(gram.get(), v.get(), lambda.get()))
        return false;
    Ptr xv = adopt(Multiply(x, v.get()));
    if (!xv)
        return false;
    NormalizeColumns(xv.get());

    if (means)
        *means = rowMeans.release();
    if (eigenvalues)
        *eigenvalues = lambda.release();
    if (components)
        *components = xv.release();
    return true;
}

bool CCommonMatrix::PrincipalComponentsOfVectors(const std::vector<const Matrix*>& vectors,
    Matrix** means, Matrix** eigenvalues, Matrix** components)
{
    if (vectors.size() < 2 || vectors.size() > std::size_t(std::numeric_limits<int>::max()))
        return false;
    const Matrix* first = vectors.front();
    if (!first)
        return false;
    for (const Matrix* v : vectors) {
        if (!v || v->cols != 1 || v->rows != first->rows)
            return false;
    }
    Ptr x = adopt(NewMatrix(first->rows, int(vectors.size())));
    if (!x)
        return false;
    for (int j = 0; j < x->cols; ++j)
        std::copy(
            vectors[std::size_t(j)]->data, vectors[std::size_t(j)]->data + x->rows, x->columns[j]);
    return PrincipalComponents(x.get(), means, eigenvalues, components);
}

bool CCommonMatrix::CheckEigen(const Matrix* c, const Matrix* v, const Matrix* lambda)
{
    return checkEigen(c, v, lambda, false);
}

bool CCommonMatrix::CheckEigenStrict(const Matrix* c, const Matrix* v, const Matrix* lambda)
{
    return checkEigen(c, v, lambda, true);
}
