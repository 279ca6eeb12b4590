// Carries the program's resources without its code, so that the resource tests can read
// them apart from the program. The tests load it as a data file; it is never run.
int main()
{
    return 0;
}
