#include "engines/mjpgtools/mplex.h"

#include <cstdio>

namespace engines {

void FillMplexParam(MplexParam& param, const char* const* inputs, const std::string& pattern) {
    param.value0 = 1;
    param.value2 = 8;
    param.value4 = 0;
    param.value8 = 2000;
    param.value12 = 0;
    param.value20 = 256;
    param.value28 = 1;
    param.value32 = 0;
    param.value36 = 0;
    param.inputs = inputs;
    std::snprintf(param.pattern, sizeof param.pattern, "%s", pattern.c_str());
    param.value304 = 1;
    param.status = kMplexStatusUnset;
}

} // namespace engines
