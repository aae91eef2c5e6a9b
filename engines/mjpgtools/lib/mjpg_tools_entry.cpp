// The one export of libmjpgTools.so; everything else in the library is hidden.
#include "engines/mjpgtools/system_mplex.h"

extern "C" __attribute__((visibility("default"))) int mplex(engines::MplexParam* param) {
    return engines::RunMplex(param);
}
