// Matrix utilities and the camera, without GL (the display tier checks the
// matrices against Mesa's own).
#include <gtest/gtest.h>

#include <cmath>
#include <array>
#include <cstdio>

#include "OGL/HLCamera.h"
#include "OGL/MatrixUtils.h"
#include "UTL/UTL_stat.h"
#include "support/test_util.h"

namespace {

double el(const double m[16], int r, int c) { return m[c * 4 + r]; }

void expect_matrix_near(const double a[16], const double b[16], double tol)
{
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], tol) << "index " << i;
}

TEST(Matrix, PrintsRowsThenABlankLine)
{
    const auto r = brx_test::run_in_child([] {
        double m[16];
        setIdentityMatrix(m);
        m[12] = 2.5;  // row 0, column 3
        printMatrix("I", m);
        fflush(stdout);
    });
    EXPECT_EQ(r.out,
              "I\n"
              " [ 1.000000 0.000000 0.000000 2.500000 ]\n"
              " [ 0.000000 1.000000 0.000000 0.000000 ]\n"
              " [ 0.000000 0.000000 1.000000 0.000000 ]\n"
              " [ 0.000000 0.000000 0.000000 1.000000 ]\n\n");
}

TEST(Matrix, RotationShortCutsAndDegenerateAxes)
{
    double m[16];
    buildRotation(m, 90, 0, 0, 1);
    EXPECT_EQ(el(m, 1, 0), 1.0);
    EXPECT_EQ(el(m, 0, 1), -1.0);
    EXPECT_NEAR(el(m, 0, 0), 0.0, 1e-15);
    buildRotation(m, 90, 0, 0, -5);  // the length is ignored, the sign is not
    EXPECT_EQ(el(m, 1, 0), -1.0);
    EXPECT_EQ(el(m, 0, 1), 1.0);

    double id[16];
    setIdentityMatrix(id);
    for (auto axis : {std::array<double, 3>{0, 0, 0}, {0.00005, 0.00005, 0}, {NAN, 1, 1}}) {
        buildRotation(m, 30, axis[0], axis[1], axis[2]);
        expect_matrix_near(m, id, 0.0);
    }

    // A short cut agrees with the general formula for the same unit axis.
    double short_cut[16], general[16];
    buildRotation(short_cut, 37, 0, 1, 0);
    buildRotation(general, 37, 1e-300, 1, 0);  // not "exactly one component"
    expect_matrix_near(short_cut, general, 1e-15);
}

TEST(Matrix, PerspectiveIsItsFrustum)
{
    double p[16], f[16];
    buildPerspectiveMatrix(p, 90, 1, 1, 3);
    buildFrustumMatrix(f, -1, 1, -1, 1, 1, 3);
    expect_matrix_near(p, f, 1e-12);
    EXPECT_NEAR(el(p, 0, 0), 1, 1e-12);
    EXPECT_NEAR(el(p, 1, 1), 1, 1e-12);
    EXPECT_EQ(el(p, 2, 2), -2);
    EXPECT_EQ(el(p, 2, 3), -3);
    EXPECT_EQ(el(p, 3, 2), -1);
    EXPECT_EQ(el(p, 3, 3), 0);
}

TEST(Matrix, LookAtAlongMinusZ)
{
    double m[16], expected[16];
    buildLookAtMatrix(m, 0, 0, 5, 0, 0, 0, 0, 1, 0);
    setIdentityMatrix(expected);
    expected[14] = -5;
    expect_matrix_near(m, expected, 0.0);
}

TEST(Matrix, InversionAndSingularity)
{
    // A zero column: singular, out untouched.
    double m[16], out[16];
    for (int i = 0; i < 16; ++i) m[i] = i + 1;
    for (int r = 0; r < 4; ++r) m[4 + r] = 0;
    for (int i = 0; i < 16; ++i) out[i] = 42;
    EXPECT_EQ(invertMatrix(out, m), 0);
    for (double v : out) EXPECT_EQ(v, 42);

    // Rank 3 without a zero column (row 3 = row 0 + row 1): singular too.
    double rank3[16] = {1, 0, 0, 1, 2, 1, 0, 3, 0, 1, 1, 1, 0, 0, 2, 0};
    EXPECT_EQ(invertMatrix(out, rank3), 0);

    // Rows 0 and 1 exchanged: its own inverse, exactly.
    double swap[16];
    setIdentityMatrix(swap);
    swap[0] = swap[5] = 0;
    swap[1] = swap[4] = 1;
    ASSERT_EQ(invertMatrix(out, swap), 1);
    expect_matrix_near(out, swap, 0.0);

    // A general matrix, inverted in place: the product gives the identity.
    double a[16] = {2, 1, 0, 3, -1, 4, 2, 0, 0.5, 0, 3, 1, 7, -2, 1, 5};
    double inv[16], prod[16], id[16];
    copyMatrix(inv, a);
    ASSERT_EQ(invertMatrix(inv, inv), 1);
    multMatrices(prod, a, inv);
    setIdentityMatrix(id);
    expect_matrix_near(prod, id, 1e-12);
}

TEST(Matrix, ProductsTransposeAndTranslation)
{
    double t[16], r[16], tr[16], chained[16];
    setIdentityMatrix(t);
    applyTranslation(t, 1, 2, 3);
    buildRotation(r, 30, 1, 2, 2);
    multMatrices(tr, t, r);
    // glTranslate then glRotate on the identity builds the same matrix.
    setIdentityMatrix(chained);
    applyTranslation(chained, 1, 2, 3);
    applyRotation(chained, 30, 1, 2, 2);
    expect_matrix_near(chained, tr, 1e-15);

    double tt[16], back[16], sum[16];
    transposeMatrix(tt, tr);
    EXPECT_EQ(el(tt, 0, 3), el(tr, 3, 0));
    EXPECT_EQ(el(tt, 3, 0), el(tr, 0, 3));
    transposeMatrix(back, tt);
    expect_matrix_near(back, tr, 0.0);
    addMatrices(sum, tr, tr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(sum[i], 2 * tr[i]);
}

TEST(Camera, FrustumPlanesAndFieldOfView)
{
    xcam_class cam;
    cam.SetupFrustum(-1, 1, -1, 1, 1, 10);
    const double k = std::sqrt(0.5);
    const double expected[4][3] = {{k, 0, -k}, {-k, 0, -k}, {0, -k, -k}, {0, k, -k}};
    const double* planes[4] = {cam.left_plane, cam.right_plane, cam.top_plane, cam.bottom_plane};
    for (int p = 0; p < 4; ++p)
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(planes[p][i], expected[p][i], 1e-4) << p;
    float h = 0, v = 0;
    ASSERT_TRUE(cam.GetFOVHalfCosines(&h, &v));
    EXPECT_NEAR(h, 0.7071, 1e-4);
    EXPECT_NEAR(v, 0.7071, 1e-4);
    EXPECT_TRUE(cam.GetFOVHalfCosines(nullptr, nullptr));
    EXPECT_FALSE(cam.orthographic);
    EXPECT_EQ(cam.near_z, -1);
    EXPECT_EQ(cam.far_z, -10);
    EXPECT_EQ(cam.fake_far_z, -10);

    cam.SetFakeFarClippingPlane(50);
    EXPECT_EQ(cam.fake_far_z, -10);
    cam.SetFakeFarClippingPlane(5);
    EXPECT_EQ(cam.fake_far_z, -5);
    cam.ResetFakeFarClippingPlane();
    EXPECT_EQ(cam.fake_far_z, -10);

    cam.SetupOrtho(0, 1024, 0, 768, -1, 1);
    h = v = 3;
    EXPECT_FALSE(cam.GetFOVHalfCosines(&h, &v));
    EXPECT_EQ(h, 3);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(cam.right, 1024);
    EXPECT_EQ(cam.top, 768);
    EXPECT_EQ(cam.near_z, 1);
    EXPECT_EQ(cam.far_z, -1);
}

TEST(Camera, KillSwitchesNarrowProjectionOrPlanes)
{
    xcam_class plain, clipped, culled;
    plain.SetupFrustum(-1, 1, -1, 1, 1, 10);
    *gKillClip.target = 1;
    clipped.SetupFrustum(-1, 1, -1, 1, 1, 10);
    *gKillClip.target = 0;
    *gKillCull.target = 1;
    culled.SetupFrustum(-1, 1, -1, 1, 1, 10);
    *gKillCull.target = 0;

    double narrow[16];
    buildFrustumMatrix(narrow, -1 + 0.45f * 2, -1 + 0.55f * 2, -1 + 0.45f * 2, -1 + 0.55f * 2, 1,
                       10);
    expect_matrix_near(clipped.projection, narrow, 0.0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(clipped.left_plane[i], plain.left_plane[i]);

    expect_matrix_near(culled.projection, plain.projection, 0.0);
    EXPECT_GT(culled.left_plane[0], 0.99);  // a window a tenth as wide
}

TEST(Camera, DirectionsOfTheIdentityView)
{
    xcam_class cam;
    cam.read_back = false;  // take the camera's own model-view, not GL's
    double up[3], dir[3], right[3];
    cam.CalcUp(up);
    cam.CalcDirection(dir);
    cam.CalcRight(right);
    EXPECT_EQ(up[0], 0);
    EXPECT_EQ(up[1], 1);
    EXPECT_EQ(up[2], 0);
    EXPECT_EQ(dir[2], -1);
    EXPECT_EQ(right[0], 1);
    float br[3], bu[3];
    cam.CalcBillboardGround(br, bu);
    EXPECT_EQ(br[0], 1);
    EXPECT_EQ(br[2], 0);
    EXPECT_EQ(bu[1], 1);
    cam.CalcBillboardCamera(br, bu);
    EXPECT_EQ(br[0], 1);
    EXPECT_EQ(bu[1], 1);

    // Looking from +x towards the origin views along -x.
    cam.LookAtPtFromDir(0, 0, 0, 0, 0, 10);
    cam.CalcDirection(dir);
    EXPECT_NEAR(dir[0], -1, 1e-12);
    EXPECT_NEAR(dir[1], 0, 1e-12);
}

TEST(Camera, SegmentsInASlab)
{
    double min[3] = {9.9e9, 9.9e9, 9.9e9}, max[3] = {-9.9e9, -9.9e9, -9.9e9};
    const double above_a[3] = {0, 20, 0}, above_b[3] = {5, 30, 5};
    accum_segment(0, 10, above_a, above_b, min, max);
    EXPECT_EQ(min[0], 9.9e9);

    const double flat_a[3] = {1, 5, 2}, flat_b[3] = {-3, 5, 4};
    accum_segment(0, 10, flat_a, flat_b, min, max);
    EXPECT_EQ(min[0], -3);
    EXPECT_EQ(max[0], 1);
    EXPECT_EQ(min[2], 2);
    EXPECT_EQ(max[2], 4);

    // A steep segment crossing the whole slab adds both crossings only.
    double lo[3] = {9.9e9, 9.9e9, 9.9e9}, hi[3] = {-9.9e9, -9.9e9, -9.9e9};
    const double s_a[3] = {0, -10, 0}, s_b[3] = {20, 10, 0};
    accum_segment(-5, 5, s_b, s_a, lo, hi);
    EXPECT_DOUBLE_EQ(lo[0], 5);
    EXPECT_DOUBLE_EQ(hi[0], 15);
    EXPECT_EQ(lo[1], -5);
    EXPECT_EQ(hi[1], 5);

    // A slab of zero height takes the one point at that level.
    double p_lo[3] = {9.9e9, 9.9e9, 9.9e9}, p_hi[3] = {-9.9e9, -9.9e9, -9.9e9};
    accum_segment(0, 0, s_a, s_b, p_lo, p_hi);
    EXPECT_DOUBLE_EQ(p_lo[0], 10);
    EXPECT_DOUBLE_EQ(p_hi[0], 10);
}

TEST(Camera, FrustumBounds)
{
    xcam_class cam;
    cam.SetupFrustum(-1, 1, -1, 1, 1, 10);
    double min[3], max[3];
    ASSERT_TRUE(cam.GetFrustumBounds(100, -100, 100, min, max));
    EXPECT_NEAR(min[0], -10, 1e-9);
    EXPECT_NEAR(max[0], 10, 1e-9);
    EXPECT_NEAR(min[2], -10, 1e-9);
    EXPECT_NEAR(max[2], -1, 1e-9);

    // Cut at distance 5.
    ASSERT_TRUE(cam.GetFrustumBounds(5, -100, 100, min, max));
    EXPECT_NEAR(min[2], -5, 1e-9);
    EXPECT_NEAR(max[0], 5, 1e-9);

    // A slab the volume does not reach.
    EXPECT_FALSE(cam.GetFrustumBounds(100, 50, 60, min, max));
    EXPECT_EQ(min[0], 9.9e9);

    // Orthographic: the box lies in front of the eye.
    cam.SetupOrtho(-2, 2, -1, 1, 1, 5);
    ASSERT_TRUE(cam.GetFrustumBounds(100, -100, 100, min, max));
    EXPECT_EQ(min[0], -2);
    EXPECT_EQ(max[1], 1);
    EXPECT_EQ(min[2], -5);
    EXPECT_EQ(max[2], -1);

    // A singular model-view gives no bounds.
    for (double& e : cam.model_view) e = 0;
    EXPECT_FALSE(cam.GetFrustumBounds(100, -100, 100, min, max));
}

TEST(Camera, FitsAnOrthographicCameraAroundAnother)
{
    xcam_class eye;
    eye.SetupOrtho(-1, 1, -1, 1, 1, 3);
    xcam_class fit(&eye);
    const double dir[3] = {0, 0, -1};
    double n = 0, f = 0;
    ASSERT_TRUE(fit.LookAtCamera(eye, dir, 10, n, f));
    EXPECT_TRUE(fit.orthographic);
    EXPECT_NEAR(fit.left, -1, 1e-12);
    EXPECT_NEAR(fit.right, 1, 1e-12);
    // The other camera's volume spans z -1 .. -3; seen from 10 behind its eye.
    EXPECT_NEAR(n, 11, 1e-12);
    EXPECT_NEAR(f, 13, 1e-12);

    xcam_class broken;
    for (double& e : broken.projection) e = 0;
    const xcam_class before = fit;
    EXPECT_FALSE(fit.LookAtCamera(broken, dir, 10, n, f));
    expect_matrix_near(fit.projection, before.projection, 0.0);

    xcam_class from_null(static_cast<const xcam_class*>(nullptr));
    double id[16];
    setIdentityMatrix(id);
    expect_matrix_near(from_null.model_view, id, 0.0);
    EXPECT_TRUE(from_null.orthographic);
}

}  // namespace
