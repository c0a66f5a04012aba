// A road library of another version, as an old install might leave beside a new plug-in.
#include "roads/scatterRoad.h"

extern "C" __attribute__((visibility("default"))) const ScatterRoad* kyScatterRoad()
{
    static const ScatterRoad road = {kScatterRoadVersion + 1, 0, 0, nullptr, nullptr, nullptr, nullptr};
    return &road;
}
