#include "OGL/HLCamera.h"

xcam_class::xcam_class()
{
    for (int i = 0; i < 16; ++i) {
        model_view[i] = (i % 5 == 0) ? 1.0 : 0.0;
        projection[i] = (i % 5 == 0) ? 1.0 : 0.0;
    }
}
