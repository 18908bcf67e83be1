// 4x4 matrices of doubles in GL's column-major order (element of row r and
// column c at index c*4 + r), built in plain memory as the fixed-function GL
// and GLU calls would build them. The first argument is the destination;
// nothing allocates and nothing touches GL.
#pragma once

void setIdentityMatrix(double m[16]);
void copyMatrix(double dst[16], const double src[16]);
void vec3_assign(double v[3], double x, double y, double z);
void addMatrices(double dst[16], const double a[16], const double b[16]);
// dst must be a different array from src.
void transposeMatrix(double dst[16], const double src[16]);
// dst = a * b; dst must differ from both a and b.
void multMatrices(double dst[16], const double a[16], const double b[16]);

// m = m * T(x, y, z), as glTranslated on the current matrix.
void applyTranslation(double m[16], double x, double y, double z);
// m = m * R(angle, axis), as glRotated on the current matrix.
void applyRotation(double m[16], double angle, double x, double y, double z);

// Complete matrices of glRotated (angle in degrees), glFrustum, glOrtho,
// gluPerspective (full vertical angle in degrees) and gluLookAt.
void buildRotation(double m[16], double angle, double x, double y, double z);
void buildFrustumMatrix(double m[16], double left, double right, double bottom, double top,
                        double near_dist, double far_dist);
void buildOrthoMatrix(double m[16], double left, double right, double bottom, double top,
                      double near_dist, double far_dist);
void buildPerspectiveMatrix(double m[16], double fovy, double aspect, double near_dist,
                            double far_dist);
void buildLookAtMatrix(double m[16], double eye_x, double eye_y, double eye_z, double centre_x,
                       double centre_y, double centre_z, double up_x, double up_y, double up_z);

// 1 and the inverse in out, or 0 when m is singular (out untouched). out may be m.
int invertMatrix(double out[16], const double m[16]);

// The name, then the matrix row by row, then a blank line, on standard output.
void printMatrix(const char* name, const double m[16]);
