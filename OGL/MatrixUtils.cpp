#include "OGL/MatrixUtils.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

const double gIdentity[16] = {1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0,
                              0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0};

// Element of row r and column c.
inline double& at(double m[16], int r, int c) { return m[c * 4 + r]; }
inline double at(const double m[16], int r, int c) { return m[c * 4 + r]; }

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kHalfDegToRad = 0.008726646259971648;

}  // namespace

void setIdentityMatrix(double m[16]) { std::memcpy(m, gIdentity, sizeof gIdentity); }

void copyMatrix(double dst[16], const double src[16])
{
    for (int i = 0; i < 16; ++i) dst[i] = src[i];
}

void vec3_assign(double v[3], double x, double y, double z)
{
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

void addMatrices(double dst[16], const double a[16], const double b[16])
{
    for (int i = 0; i < 16; ++i) dst[i] = a[i] + b[i];
}

void transposeMatrix(double dst[16], const double src[16])
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) at(dst, r, c) = at(src, c, r);
}

void multMatrices(double dst[16], const double a[16], const double b[16])
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            at(dst, r, c) = (at(a, r, 0) * at(b, 0, c) + at(a, r, 1) * at(b, 1, c)) +
                            (at(a, r, 2) * at(b, 2, c) + at(a, r, 3) * at(b, 3, c));
}

void applyTranslation(double m[16], double x, double y, double z)
{
    for (int r = 0; r < 4; ++r)
        at(m, r, 3) = at(m, r, 0) * x + at(m, r, 1) * y + at(m, r, 3) + at(m, r, 2) * z;
}

void applyRotation(double m[16], double angle, double x, double y, double z)
{
    double rot[16], tmp[16];
    buildRotation(rot, angle, x, y, z);
    multMatrices(tmp, m, rot);
    copyMatrix(m, tmp);
}

void buildRotation(double m[16], double angle, double x, double y, double z)
{
    const double s = std::sin(angle * kDegToRad);
    const double c = std::cos(angle * kDegToRad);
    setIdentityMatrix(m);

    // A single non-zero component: one plane rotates, by the sign of the axis.
    if (x == 0.0 && y == 0.0 && z != 0.0) {
        at(m, 0, 0) = at(m, 1, 1) = c;
        at(m, 1, 0) = z > 0.0 ? s : -s;
        at(m, 0, 1) = z > 0.0 ? -s : s;
        return;
    }
    if (x == 0.0 && z == 0.0 && y != 0.0) {
        at(m, 0, 0) = at(m, 2, 2) = c;
        at(m, 0, 2) = y > 0.0 ? s : -s;
        at(m, 2, 0) = y > 0.0 ? -s : s;
        return;
    }
    if (y == 0.0 && z == 0.0 && x != 0.0) {
        at(m, 1, 1) = at(m, 2, 2) = c;
        at(m, 2, 1) = x > 0.0 ? s : -s;
        at(m, 1, 2) = x > 0.0 ? -s : s;
        return;
    }

    const double mag = std::sqrt(x * x + y * y + z * z);
    if (!(mag > 0.0001)) return;  // no usable axis (also a NaN length)
    const double inv = 1.0 / mag;
    x *= inv;
    y *= inv;
    z *= inv;
    const double t = 1.0 - c;
    at(m, 0, 0) = x * x * t + c;
    at(m, 0, 1) = x * y * t - z * s;
    at(m, 0, 2) = x * z * t + y * s;
    at(m, 1, 0) = x * y * t + z * s;
    at(m, 1, 1) = y * y * t + c;
    at(m, 1, 2) = y * z * t - x * s;
    at(m, 2, 0) = x * z * t - y * s;
    at(m, 2, 1) = y * z * t + x * s;
    at(m, 2, 2) = z * z * t + c;
}

void buildFrustumMatrix(double m[16], double left, double right, double bottom, double top,
                        double near_dist, double far_dist)
{
    for (int i = 0; i < 16; ++i) m[i] = 0.0;
    at(m, 0, 0) = 2.0 * near_dist / (right - left);
    at(m, 1, 1) = 2.0 * near_dist / (top - bottom);
    at(m, 0, 2) = (right + left) / (right - left);
    at(m, 1, 2) = (top + bottom) / (top - bottom);
    at(m, 2, 2) = (near_dist + far_dist) / (near_dist - far_dist);
    at(m, 3, 2) = -1.0;
    at(m, 2, 3) = -2.0 * near_dist * far_dist / (far_dist - near_dist);
}

void buildOrthoMatrix(double m[16], double left, double right, double bottom, double top,
                      double near_dist, double far_dist)
{
    for (int i = 0; i < 16; ++i) m[i] = 0.0;
    at(m, 0, 0) = 2.0 / (right - left);
    at(m, 1, 1) = 2.0 / (top - bottom);
    at(m, 2, 2) = -2.0 / (far_dist - near_dist);
    at(m, 0, 3) = (right + left) / (left - right);
    at(m, 1, 3) = (top + bottom) / (bottom - top);
    at(m, 2, 3) = (far_dist + near_dist) / (near_dist - far_dist);
    at(m, 3, 3) = 1.0;
}

void buildPerspectiveMatrix(double m[16], double fovy, double aspect, double near_dist,
                            double far_dist)
{
    const double ymax = near_dist * std::tan(fovy * kHalfDegToRad);
    const double ymin = -ymax;
    buildFrustumMatrix(m, ymin * aspect, ymax * aspect, ymin, ymax, near_dist, far_dist);
}

namespace {

void normalise_if_nonzero(double v[3])
{
    const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len != 0.0) {
        const double inv = 1.0 / len;
        v[0] *= inv;
        v[1] *= inv;
        v[2] *= inv;
    }
}

void cross(double out[3], const double a[3], const double b[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

void buildLookAtMatrix(double m[16], double eye_x, double eye_y, double eye_z, double centre_x,
                       double centre_y, double centre_z, double up_x, double up_y, double up_z)
{
    const double eye[3] = {eye_x, eye_y, eye_z};
    const double up[3] = {up_x, up_y, up_z};
    double f[3] = {eye_x - centre_x, eye_y - centre_y, eye_z - centre_z};
    normalise_if_nonzero(f);
    double side[3], u[3];
    cross(side, up, f);
    cross(u, f, side);
    normalise_if_nonzero(side);
    normalise_if_nonzero(u);

    for (int c = 0; c < 3; ++c) {
        at(m, 0, c) = side[c];
        at(m, 1, c) = u[c];
        at(m, 2, c) = f[c];
        at(m, 3, c) = 0.0;
    }
    at(m, 0, 3) = -dot(side, eye);
    at(m, 1, 3) = -dot(u, eye);
    at(m, 2, 3) = -dot(f, eye);
    at(m, 3, 3) = 1.0;
}

int invertMatrix(double out[16], const double m[16])
{
    // [M | I], reached through row pointers so that an exchange swaps pointers.
    double wtmp[4][8];
    double* r[4] = {wtmp[0], wtmp[1], wtmp[2], wtmp[3]};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            r[i][j] = at(m, i, j);
            r[i][4 + j] = i == j ? 1.0 : 0.0;
        }

    // Partial pivoting: the largest magnitude bubbles up; ties keep the upper row.
    auto bubble = [&r](int col, int first) {
        for (int k = 3; k > first; --k)
            if (std::fabs(r[k][col]) > std::fabs(r[k - 1][col])) std::swap(r[k], r[k - 1]);
    };
    // Subtracts multiples of pivot row p from the rows below it, from column col on.
    auto eliminate = [&r](int p, bool skip_zero_right) {
        const double inv = 1.0 / r[p][p];
        for (int k = p + 1; k < 4; ++k) {
            const double mul = r[k][p] * inv;
            for (int j = p + 1; j < 4; ++j) r[k][j] -= mul * r[p][j];
            for (int j = 4; j < 8; ++j) {
                if (skip_zero_right && r[p][j] == 0.0) continue;
                r[k][j] -= mul * r[p][j];
            }
        }
    };

    bubble(0, 0);
    if (r[0][0] == 0.0) return 0;
    eliminate(0, true);
    bubble(1, 1);
    if (r[1][1] == 0.0) return 0;
    eliminate(1, true);
    bubble(2, 2);
    if (r[2][2] == 0.0) return 0;
    eliminate(2, false);
    if (r[3][3] == 0.0) return 0;

    // Back substitution on the right half.
    double s = 1.0 / r[3][3];
    for (int j = 4; j < 8; ++j) r[3][j] *= s;

    double m2 = r[2][3];
    s = 1.0 / r[2][2];
    for (int j = 4; j < 8; ++j) r[2][j] = s * (r[2][j] - r[3][j] * m2);
    double m1 = r[1][3];
    for (int j = 4; j < 8; ++j) r[1][j] -= r[3][j] * m1;
    double m0 = r[0][3];
    for (int j = 4; j < 8; ++j) r[0][j] -= r[3][j] * m0;

    m1 = r[1][2];
    s = 1.0 / r[1][1];
    for (int j = 4; j < 8; ++j) r[1][j] = s * (r[1][j] - r[2][j] * m1);
    m0 = r[0][2];
    for (int j = 4; j < 8; ++j) r[0][j] -= r[2][j] * m0;

    m0 = r[0][1];
    s = 1.0 / r[0][0];
    for (int j = 4; j < 8; ++j) r[0][j] = s * (r[0][j] - r[1][j] * m0);

    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) at(out, i, j) = r[i][4 + j];
    return 1;
}

void printMatrix(const char* name, const double m[16])
{
    puts(name);
    for (int r = 0; r < 4; ++r) printf(" [ %f %f %f %f ]\n", m[r], m[4 + r], m[8 + r], m[12 + r]);
    putchar('\n');
}
