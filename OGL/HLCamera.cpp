#include "OGL/HLCamera.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "GenH/hl_types.h"
#include "OGL/MatrixUtils.h"
#include "UTL/UTL_stat.h"

UTL_stat gKillClip("perf/kill_clip", stat_perf, 0.0f);
UTL_stat gKillCull("perf/kill_cull", stat_perf, 0.0f);

namespace {

constexpr double kDegToRad = 0.017453292519943295;

void normalise_if_positive(double v[3])
{
    const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len > 0.0) {
        v[0] /= len;
        v[1] /= len;
        v[2] /= len;
    }
}

void cross(double out[3], const double a[3], const double b[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// m * (x, y, z, w), all four components.
void transform(double out[4], const double m[16], double x, double y, double z, double w)
{
    for (int r = 0; r < 4; ++r) out[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r] * w;
}

// The central tenth of [lo, hi], kept between the two given values.
void narrow(double& lo, double& hi)
{
    const double span = hi - lo;
    const double a = std::min(lo, hi), b = std::max(lo, hi);
    const double new_lo = std::clamp(lo + 0.45f * span, a, b);
    const double new_hi = std::clamp(lo + 0.55f * span, a, b);
    lo = new_lo;
    hi = new_hi;
}

void to_float3(float out[3], const double v[3])
{
    for (int i = 0; i < 3; ++i) out[i] = static_cast<float>(v[i]);
}

}  // namespace

xcam_class::xcam_class()
{
    setIdentityMatrix(projection);
    setIdentityMatrix(model_view);
}

xcam_class::xcam_class(const xcam_class* other) : xcam_class()
{
    if (other) *this = *other;
}

void xcam_class::SetupOrtho(double l, double r, double b, double t, double n, double f)
{
    orthographic = true;
    buildOrthoMatrix(projection, l, r, b, t, n, f);
    top = t;
    left = l;
    right = r;
    bottom = b;
    near_z = -n;
    far_z = fake_far_z = -f;
}

void xcam_class::SetupFrustum(double l, double r, double b, double t, double n, double f)
{
    orthographic = false;

    double pl = l, pr = r, pb = b, pt = t;
    if (*gKillClip.target != 0.0f) {
        narrow(pl, pr);
        narrow(pb, pt);
    }
    buildFrustumMatrix(projection, pl, pr, pb, pt, n, f);

    double cl = l, cr = r, cb = b, ct = t;
    if (*gKillCull.target != 0.0f) {
        narrow(cl, cr);
        narrow(cb, ct);
    }
    double tl[3] = {cl, ct, -n}, tr[3] = {cr, ct, -n};
    double bl[3] = {cl, cb, -n}, br[3] = {cr, cb, -n};
    normalise_if_positive(tl);
    normalise_if_positive(tr);
    normalise_if_positive(bl);
    normalise_if_positive(br);
    cross(top_plane, tl, tr);
    cross(right_plane, tr, br);
    cross(bottom_plane, br, bl);
    cross(left_plane, bl, tl);
    normalise_if_positive(top_plane);
    normalise_if_positive(right_plane);
    normalise_if_positive(bottom_plane);
    normalise_if_positive(left_plane);

    near_z = -n;
    far_z = fake_far_z = -f;
}

void xcam_class::SetupPerspective(double fovy, double aspect, double n, double f)
{
    const double ymax = n * std::tan(fovy * (std::numbers::pi / 360.0));
    const double xmax = ymax * aspect;
    SetupFrustum(-xmax, xmax, -ymax, ymax, n, f);
}

void xcam_class::Identity() { setIdentityMatrix(model_view); }

void xcam_class::Translate(double x, double y, double z) { applyTranslation(model_view, x, y, z); }

void xcam_class::Rotate(double angle, double x, double y, double z)
{
    applyRotation(model_view, angle, x, y, z);
}

void xcam_class::LookAtPtFromPt(double ex, double ey, double ez, double cx, double cy, double cz,
                                double ux, double uy, double uz)
{
    buildLookAtMatrix(model_view, ex, ey, ez, cx, cy, cz, ux, uy, uz);
}

void xcam_class::LookAtPtFromDir(double x, double y, double z, double a, double b, double d)
{
    const double ra = a * kDegToRad, rb = b * kDegToRad;
    buildLookAtMatrix(model_view, x + d * std::cos(rb) * std::cos(ra), y + d * std::sin(rb),
                      z + d * std::cos(rb) * std::sin(ra), x, y, z, 0.0, 1.0, 0.0);
}

bool xcam_class::LookAtCamera(const xcam_class& other, const double dir[3], double d,
                              double& near_out, double& far_out)
{
    double inv_mv[16], inv_p[16];
    if (!invertMatrix(inv_mv, other.model_view) || !invertMatrix(inv_p, other.projection))
        return false;

    double pos[4];
    transform(pos, inv_mv, 0, 0, 0, 1);
    double mv[16];
    buildLookAtMatrix(mv, pos[0] - d * dir[0], pos[1] - d * dir[1], pos[2] - d * dir[2], pos[0],
                      pos[1], pos[2], 0.0, 1.0, 0.0);

    double lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    int k = 0;
    for (int x = -1; x <= 1; x += 2)
        for (int y = -1; y <= 1; y += 2)
            for (int z = -1; z <= 1; z += 2, ++k) {
                double e[4], w[4], v[4];
                transform(e, inv_p, x, y, z, 1);
                transform(w, inv_mv, e[0] / e[3], e[1] / e[3], e[2] / e[3], 1);
                transform(v, mv, w[0], w[1], w[2], 1);
                for (int i = 0; i < 3; ++i) {
                    lo[i] = k == 0 ? v[i] : std::min(lo[i], v[i]);
                    hi[i] = k == 0 ? v[i] : std::max(hi[i], v[i]);
                }
            }

    copyMatrix(model_view, mv);
    orthographic = true;
    buildOrthoMatrix(projection, lo[0], hi[0], lo[1], hi[1], -hi[2], -lo[2]);
    left = lo[0];
    right = hi[0];
    bottom = lo[1];
    top = hi[1];
    near_z = hi[2];
    far_z = fake_far_z = lo[2];
    near_out = -hi[2];
    far_out = -lo[2];
    return true;
}

void xcam_class::SetFakeFarClippingPlane(double d) { fake_far_z = std::max(far_z, -d); }

void xcam_class::ResetFakeFarClippingPlane() { fake_far_z = far_z; }

bool xcam_class::GetFOVHalfCosines(float* h, float* v) const
{
    if (orthographic) return false;
    if (h) *h = static_cast<float>((left_plane[0] - right_plane[0]) / 2);
    if (v) *v = static_cast<float>((bottom_plane[1] - top_plane[1]) / 2);
    return true;
}

void xcam_class::take_gl_model_view()
{
    if (!read_back) return;
    glGetDoublev(GL_MODELVIEW_MATRIX, model_view);
    read_back = false;
}

void xcam_class::up_and_direction(double up[3], double dir[3])
{
    take_gl_model_view();
    // Products with the transpose: column i of the model-view against the vector.
    const double* m = model_view;
    for (int i = 0; i < 3; ++i) {
        up[i] = m[4 * i + 1] + m[4 * i + 3];
        dir[i] = -m[4 * i + 2] + m[4 * i + 3];
    }
    normalise_if_positive(up);
    normalise_if_positive(dir);
}

void xcam_class::CalcUp(double out[3])
{
    double dir[3];
    up_and_direction(out, dir);
}

void xcam_class::CalcDirection(double out[3])
{
    double up[3];
    up_and_direction(up, out);
}

void xcam_class::CalcRight(double out[3])
{
    double up[3], dir[3];
    up_and_direction(up, dir);
    cross(out, dir, up);
}

void xcam_class::CalcBillboardCamera(float right_out[3], float up_out[3])
{
    double up[3], dir[3], r[3];
    up_and_direction(up, dir);
    cross(r, dir, up);
    normalise_if_positive(r);
    to_float3(right_out, r);
    to_float3(up_out, up);
}

void xcam_class::CalcBillboardGround(float right_out[3], float up_out[3])
{
    double up[3], dir[3];
    up_and_direction(up, dir);
    double r[3] = {-dir[2], 0.0, dir[0]};
    normalise_if_positive(r);
    double u[3];
    cross(u, r, dir);
    normalise_if_positive(u);
    to_float3(right_out, r);
    to_float3(up_out, u);
}

void xcam_class::mtr_to_pix(const double p[3], double out[2]) const
{
    double e[4], c[4];
    transform(e, model_view, p[0], p[1], p[2], 1);
    transform(c, projection, e[0], e[1], e[2], e[3]);
    if (c[3] != 0.0) {
        c[0] /= c[3];
        c[1] /= c[3];
    }
    float vp[4] = {0, 0, 0, 0};
    glGetFloatv(GL_VIEWPORT, vp);
    out[0] = ((vp[2] / 2.0 * (c[0] + 1) + vp[0]) - mnw.wind_x) / mnw.scale;
    out[1] = ((vp[3] / 2.0 * (c[1] + 1) + vp[1]) - mnw.wind_y) / mnw.scale;
}

bool xcam_class::GetFrustumBounds(double limit, double low_y, double high_y, double min[3],
                                  double max[3]) const
{
    double inv_mv[16];
    if (!invertMatrix(inv_mv, model_view)) return false;

    // Corners in the order (-1, 1, -1), (-1, 1, 1), (1, 1, -1), (1, 1, 1),
    // then the same with y = -1.
    static const int kCorner[8][3] = {{-1, 1, -1}, {-1, 1, 1},  {1, 1, -1},  {1, 1, 1},
                                      {-1, -1, -1}, {-1, -1, 1}, {1, -1, -1}, {1, -1, 1}};
    double world[8][4];
    if (!orthographic) {
        double inv_p[16];
        if (!invertMatrix(inv_p, projection)) return false;
        for (int k = 0; k < 8; ++k) {
            double e[4];
            transform(e, inv_p, kCorner[k][0], kCorner[k][1], kCorner[k][2], 1);
            for (int i = 0; i < 3; ++i) e[i] /= e[3];
            if (e[2] < -limit) {
                const double s = -limit / e[2];
                for (int i = 0; i < 3; ++i) e[i] *= s;
            }
            transform(world[k], inv_mv, e[0], e[1], e[2], 1);
        }
    } else {
        // In eye space the volume lies in front of the eye, at negative z.
        const double z_near = near_z, z_far = -std::min(-far_z, limit);
        for (int k = 0; k < 8; ++k) {
            const double x = kCorner[k][0] < 0 ? left : right;
            const double y = kCorner[k][1] < 0 ? bottom : top;
            const double z = kCorner[k][2] < 0 ? z_near : z_far;
            transform(world[k], inv_mv, x, y, z, 1);
        }
    }

    for (int i = 0; i < 3; ++i) {
        min[i] = 9.9e9;
        max[i] = -9.9e9;
    }
    static const int kEdge[12][2] = {{0, 2}, {4, 6}, {0, 4}, {2, 6}, {1, 3}, {5, 7},
                                     {1, 5}, {3, 7}, {0, 1}, {2, 3}, {4, 5}, {6, 7}};
    for (const auto& e : kEdge) accum_segment(low_y, high_y, world[e[0]], world[e[1]], min, max);
    return min[0] <= max[0];
}

namespace {

void add_point(const double p[3], double min[3], double max[3])
{
    for (int i = 0; i < 3; ++i) {
        min[i] = std::min(min[i], p[i]);
        max[i] = std::max(max[i], p[i]);
    }
}

// The point of segment a-b (a.y < b.y) at height y, its x and z kept between the ends'.
void add_crossing(double y, const double a[3], const double b[3], double min[3], double max[3])
{
    const double t = (y - a[1]) / (b[1] - a[1]);
    double p[3];
    p[1] = y;
    for (int i = 0; i < 3; i += 2)
        p[i] = std::clamp(a[i] + t * (b[i] - a[i]), std::min(a[i], b[i]), std::max(a[i], b[i]));
    add_point(p, min, max);
}

}  // namespace

void accum_segment(double lo, double hi, const double a_in[3], const double b_in[3],
                   double min[3], double max[3])
{
    const double* a = a_in;
    const double* b = b_in;
    if (a[1] > b[1]) std::swap(a, b);

    if (a[1] == b[1]) {
        if (a[1] >= lo && a[1] <= hi) {
            add_point(a, min, max);
            add_point(b, min, max);
        }
        return;
    }
    const double flo = static_cast<float>(lo), fhi = static_cast<float>(hi);
    if (lo == hi) {
        if (lo >= a[1] && lo <= b[1]) add_crossing(lo, a, b, min, max);
        return;
    }
    if (a[1] >= lo && a[1] <= hi) add_point(a, min, max);
    if (b[1] >= lo && b[1] <= hi) add_point(b, min, max);
    if (a[1] < lo && lo < b[1]) add_crossing(flo, a, b, min, max);
    if (a[1] < hi && hi < b[1]) add_crossing(fhi, a, b, min, max);
}
