#pragma once
// The Windows audio headers in the order they need each other.
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>
