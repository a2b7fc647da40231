// A program that cannot start: it imports a DLL that the build puts where no search finds it. The
// test run checks that such a start failure is reported in words, not as a silent failure.

int KanoruProbeMissingExport();

int main()
{
    return KanoruProbeMissingExport();
}
