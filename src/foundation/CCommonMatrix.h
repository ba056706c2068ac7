#pragma once
// Dense double-precision matrices, column-major, with a Gauss-Jordan inverse (used by the
// perspective warp), products, least squares, a Jacobi eigen-solver, principal components and a
// small text file format.
//
// Every Matrix comes from NewMatrix (or a routine that returns a new one) and goes back through
// FreeMatrix. A process-wide count of live matrices lets the composite routines check that they
// freed every temporary; the check assumes one thread at a time works with matrices.
//
// Failures are reported, never fatal: a routine that cannot allocate, is given matrices of the
// wrong size, or finds the live count off returns nullptr (or false) and logs why.
#include <QString>
#include <memory>
#include <vector>

struct Matrix {
    Matrix() = default;
    // data and columns point into the record's own storage: a copy would alias it.
    Matrix(const Matrix&) = delete;
    Matrix& operator=(const Matrix&) = delete;

    int rows = 0;
    int cols = 0;
    double* data = nullptr; // rows * cols elements, column by column
    double** columns = nullptr; // columns[j] == data + j * rows; element (i, j) is columns[j][i]

    double& at(int row, int col) { return columns[col][row]; }
    double at(int row, int col) const { return columns[col][row]; }

    // The storage data and columns point into; only NewMatrix sets it up.
    std::vector<double> storage;
    std::vector<double*> columnTable;
};

class CCommonMatrix {
public:
    // Calls FreeMatrix, so that temporaries are freed (and counted) on every path.
    struct Deleter {
        void operator()(Matrix* m) const { FreeMatrix(m); }
    };
    using Ptr = std::unique_ptr<Matrix, Deleter>;

    // Flags of SaveMatrix, SaveMatrixToOutdata and LoadMatrix.
    static constexpr int NoHeader = 1;
    static constexpr int Append = 2;

    // A rows x cols matrix with uninitialised elements, or nullptr (after "Matrix Size: %d X %d")
    // when the size is not positive, too large, or cannot be allocated.
    static Matrix* NewMatrix(int rows, int cols);
    static Matrix* ZeroMatrix(int rows, int cols);
    // Frees m (nullptr is ignored).
    static void FreeMatrix(Matrix* m);
    static int LiveMatrixCount();

    // Reduces m in place to reduced row echelon form. Pivots are the largest absolute value in
    // their column (ties keep the upper row); a column without a non-zero entry is skipped.
    static void GaussJordanReduce(Matrix* m);

    // The inverse of the square matrix a, new, owned by the caller. A singular (or non-square)
    // matrix still yields the matrix the reduction leaves, as callers have always received; pass
    // singular to learn that it is no inverse. Singular means a pivot that is zero, or so small
    // beside the largest element of a (below 1e-12 of it) that it can only be rounding residue.
    // nullptr when allocation fails.
    static Matrix* Inverse(const Matrix* a, bool* singular = nullptr);

    static Matrix* Identity(int n);
    static Matrix* CopyMatrix(const Matrix* a);
    // Products and sums return nullptr when the sizes do not fit together.
    static Matrix* Multiply(const Matrix* a, const Matrix* b); // A * B
    static Matrix* MultiplyAtB(const Matrix* a, const Matrix* b); // A^T * B
    static Matrix* MultiplyABt(const Matrix* a, const Matrix* b); // A * B^T
    static Matrix* Transpose(const Matrix* a);
    static Matrix* Add(const Matrix* a, const Matrix* b);
    static Matrix* Subtract(const Matrix* a, const Matrix* b);
    static bool AddTo(Matrix* a, const Matrix* b); // A += B

    // Row operations in place; false (and a log line) for a row outside the matrix.
    static bool SwapRows(Matrix* m, int row1, int row2);
    static bool ScaleRow(Matrix* m, int row, double factor);
    static bool AddRowMultiple(Matrix* m, int dstRow, int srcRow, double factor);

    // Columns first..last (inclusive) as a new matrix.
    static Matrix* ColumnRange(const Matrix* a, int first, int last);
    static double SumOfSquares(const Matrix* a);
    // Elements |rand() / 2147483647.0|.
    static Matrix* RandomMatrix(int rows, int cols);

    // (A^T A)^-1 A^T B.
    static Matrix* LeastSquares(const Matrix* a, const Matrix* b, bool* singular = nullptr);
    // ((WA)^T W A)^-1 (WA)^T W B.
    static Matrix* WeightedLeastSquares(
        const Matrix* a, const Matrix* b, const Matrix* w, bool* singular = nullptr);

    // Writes m as text: unless NoHeader, the lines "# name: <name without a leading *>",
    // "# type: matrix", "# rows: R", "# columns: C"; then one line per row of " %e" elements.
    // Append adds to an existing file. False (and a log line) when the file cannot be written.
    static bool SaveMatrix(const Matrix* m, const QString& path, const QString& name, int flags);
    // The same into <directory>/Outdata/<name>.txt (NoHeader) or .mat. The parts are joined
    // with "/", the separator of this platform.
    static bool SaveMatrixToOutdata(
        const Matrix* m, const QString& directory, const QString& name, int flags);
    // Reads the first matrix of a file in that format. The size comes from the header, or from
    // rows and cols with NoHeader. nullptr for a missing file, a malformed header, a size the
    // file cannot hold, or an element that is not a finite number.
    static Matrix* LoadMatrix(const QString& path, int flags, int rows = 0, int cols = 0);

    // Eigenvalues and eigenvectors of the symmetric n x n matrix a (row-major, destroyed) by
    // threshold Jacobi rotations, until the threshold falls to max(1e-15, tolerance) times the
    // initial off-diagonal norm / n. eigenvalues (n) are sorted by decreasing absolute value;
    // eigenvectors (row-major n x n) holds the vector of eigenvalue k in column k. False when
    // a does not hold n * n values.
    static bool JacobiEigen(std::vector<double>& a, int n, std::vector<double>& eigenvalues,
        std::vector<double>& eigenvectors, double tolerance);
    // The same in floats, with max(1e-7, tolerance).
    static bool JacobiEigenFloat(std::vector<float>& a, int n, std::vector<float>& eigenvalues,
        std::vector<float>& eigenvectors, float tolerance);

    static Matrix* RowMeans(const Matrix* x); // rows x 1
    static void SubtractRowMeans(Matrix* x);
    // Each column scaled to unit length; a zero column stays zero.
    static void NormalizeColumns(Matrix* x);

    // Centres the rows of x (in place) and decomposes X^T X. Centring removes one degree of
    // freedom, so the last component is dropped: on success *means is rows x 1, *eigenvalues
    // (cols - 1) x 1 in decreasing magnitude, *components rows x (cols - 1) = X V with unit
    // columns, all owned by the caller. False (outputs untouched) when x has fewer than 2
    // columns or allocation fails.
    static bool PrincipalComponents(
        Matrix* x, Matrix** means, Matrix** eigenvalues, Matrix** components);
    // The same for column vectors of equal length (left unchanged), through their dot products.
    static bool PrincipalComponentsOfVectors(const std::vector<const Matrix*>& vectors,
        Matrix** means, Matrix** eigenvalues, Matrix** components);

    // Whether C V - V diag(lambda) stays below 1e-7 in every element (a non-finite element
    // fails). CheckEigenStrict stops and logs at the first failing element.
    static bool CheckEigen(const Matrix* c, const Matrix* v, const Matrix* lambda);
    static bool CheckEigenStrict(const Matrix* c, const Matrix* v, const Matrix* lambda);
};
