#include "result.h"

#include <cstring>

Result Result::fromErrno(int error)
{
    return failure(std::strerror(error));
}
