// The camera.
#pragma once

class xcam_class {
public:
    xcam_class();
    double model_view[16];
    double projection[16];
    float zoom = 1.0f;
    float aspect = 1.0f;
    float lod = 1.0f;
};
