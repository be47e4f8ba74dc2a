#include "result.h"

#include <cerrno>
#include <cstring>

Result Result::fromErrno(int error)
{
    return Result(false, std::strerror(error), error);
}

bool Result::isWriteFault() const
{
    switch (m_error) {
    case ENOSPC:
// Windows has no disk quotas in errno.
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
    case EROFS:
    case EIO:
        return true;
    default:
        return false;
    }
}
