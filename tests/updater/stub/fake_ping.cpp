// Stands in for the system's ping, which the move script runs to wait about a second between its
// tries: this one returns at once, so that a test can see all of the tries in a few seconds.
int main()
{
    return 0;
}
