#include "wizard/Version.h"

const wchar_t* GetProductName() { return L"TAVRIN"; }
