#include "app/startup.h"

int main(int argc, char **argv)
{
    return Startup::main(argc, argv);
}
