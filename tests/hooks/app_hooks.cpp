#include "hooks/app_hooks.h"

#include "GenH/hl_types.h"

namespace brx_test {

std::function<void()> app_update;
std::function<void(int)> app_handlemenu;

}  // namespace brx_test

void APP_update()
{
    if (brx_test::app_update) brx_test::app_update();
}

void APP_handlemenu(int command)
{
    if (brx_test::app_handlemenu) brx_test::app_handlemenu(command);
}
