#include "common/limitedrun.h"

std::optional<bool> LimitedRun::run(const std::function<bool()> &work, Limits limits)
{
    if (limits.permissionsBind || limits.sizeLimit > 0)
        return std::nullopt;
    return work();
}
