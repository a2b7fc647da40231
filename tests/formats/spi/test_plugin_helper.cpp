// A DLL that one test plug-in imports; it lies only in that plug-in's folder, so the plug-in loads
// only when the host searches the plug-in's own folder for what it needs.
extern "C" int KanoruSpiHelperValue()
{
    return 42;
}
