// The camera: a projection and a model-view matrix kept in plain memory
// (OGL/MatrixUtils), the parameters of the last projection, the side planes
// of a perspective view volume and a culling far distance. It never changes
// GL's matrix stacks; OGL_viewport loads its matrices.
#pragma once

class UTL_stat;

class xcam_class {
public:
    xcam_class();
    xcam_class(const xcam_class&) = default;
    xcam_class& operator=(const xcam_class&) = default;
    // Copies *other; a null pointer gives a default camera.
    explicit xcam_class(const xcam_class* other);

    // Projection set-up; none touches GL.
    void SetupOrtho(double left, double right, double bottom, double top, double near_dist,
                    double far_dist);
    void SetupFrustum(double left, double right, double bottom, double top, double near_dist,
                      double far_dist);
    void SetupPerspective(double fovy, double aspect, double near_dist, double far_dist);

    // Model-view set-up; none touches GL.
    void Identity();
    void Translate(double x, double y, double z);
    void Rotate(double angle, double x, double y, double z);
    void LookAtPtFromPt(double eye_x, double eye_y, double eye_z, double centre_x,
                        double centre_y, double centre_z, double up_x, double up_y,
                        double up_z);
    // Looks back at (x, y, z) from distance d, the direction given by a (about
    // the vertical axis) and b (elevation), in degrees.
    void LookAtPtFromDir(double x, double y, double z, double a, double b, double d);
    // Becomes an orthographic camera around the other camera's view volume,
    // looking along dir from d behind its eye. Leaves everything unchanged
    // (and returns false) when the other camera's matrices are singular.
    bool LookAtCamera(const xcam_class& other, const double dir[3], double d, double& near_out,
                      double& far_out);

    // The culling far distance becomes min(far, d); the reset restores far.
    void SetFakeFarClippingPlane(double d);
    void ResetFakeFarClippingPlane();

    // Cosines of half the horizontal and vertical fields of view (either
    // pointer may be null); false, writing nothing, when orthographic.
    bool GetFOVHalfCosines(float* h, float* v) const;

    // World-space directions; each first takes GL's model-view when read_back is set.
    void CalcUp(double out[3]);
    void CalcDirection(double out[3]);
    void CalcRight(double out[3]);
    void CalcBillboardCamera(float right[3], float up[3]);
    void CalcBillboardGround(float right[3], float up[3]);

    // The canvas position of a world point, relative to the current sub-window.
    void mtr_to_pix(const double p[3], double out[2]) const;

    // The world box of the view volume cut at distance `limit` within the slab
    // low_y <= y <= high_y; false when no part lies in the slab or a matrix is singular.
    bool GetFrustumBounds(double limit, double low_y, double high_y, double min[3],
                          double max[3]) const;

    bool orthographic = true;
    // Eye-space z of the near, far and culling far planes (the distances negated).
    double near_z = 0, far_z = 0, fake_far_z = 0;
    // Unit normals of the side planes through the eye, pointing into the volume.
    double top_plane[3] = {0, 0, 0};
    double left_plane[3] = {0, 0, 0};
    double right_plane[3] = {0, 0, 0};
    double bottom_plane[3] = {0, 0, 0};
    // The window of the last orthographic projection.
    double top = 0, left = 0, right = 0, bottom = 0;
    // Set while GL's current model-view is to be taken as the camera's.
    bool read_back = true;
    double projection[16];
    double model_view[16];

private:
    void take_gl_model_view();
    void up_and_direction(double up[3], double dir[3]);
};

// Grows the box min/max by the part of segment a-b within lo <= y <= hi.
void accum_segment(double lo, double hi, const double a[3], const double b[3], double min[3],
                   double max[3]);

// Debug switches: narrow the projection (kill_clip) or the culling planes
// (kill_cull) to the central tenth of the window.
extern UTL_stat gKillClip;
extern UTL_stat gKillCull;
