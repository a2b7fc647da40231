// The DLL that the start-failure probe imports and never finds.

__declspec(dllexport) int KanoruProbeMissingExport()
{
    return 0;
}
