#include "GenC/pending_deps.h"

void OGL_sbuff() {}
void OGL_viewport(int, float, float, float, float, float, float, float, float, float, float, float,
                  int)
{
}
