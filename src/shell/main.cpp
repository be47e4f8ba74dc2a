// The entry point arrives with the shell; until then the program does nothing.
int main()
{
    return 0;
}
