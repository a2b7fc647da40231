// A small DLL for the tests of run-time loading; its exports are listed in test_library.def.
extern "C" int TestAdd(int a, int b)
{
    return a + b;
}
