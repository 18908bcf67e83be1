// The texture manager.
#pragma once

class tman_class {
public:
    tman_class() = default;
};
