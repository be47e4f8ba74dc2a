#include "forms/checksets.h"

#include <array>

namespace {

std::array<FlagSet, CheckSets::count> &sets()
{
    static std::array<FlagSet, CheckSets::count> all;
    return all;
}

bool inRange(int number)
{
    return number >= 0 && number < CheckSets::count;
}

} // namespace

FlagSet CheckSets::value(int number)
{
    return inRange(number) ? sets()[number] : FlagSet();
}

bool CheckSets::setValue(int number, const FlagSet &flags)
{
    if (!inRange(number))
        return false;
    sets()[number] = flags;
    return true;
}

void CheckSets::reset()
{
    sets().fill(FlagSet());
}
