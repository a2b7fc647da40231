#pragma once
// The few system types that the plane classes name, declared as the system headers declare them
// (with STRICT handles), so that pixel code can use planes without including <windows.h>.
struct HDC__;
typedef HDC__* HDC;
struct tagBITMAPINFO;
typedef tagBITMAPINFO BITMAPINFO;
typedef unsigned long COLORREF;
