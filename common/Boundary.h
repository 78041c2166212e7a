#pragma once
// Functions that the system calls back (window, dialog and hook procedures, COM
// methods, thread entries) keep every C++ exception of their bodies. Between such
// a function and any catch further out lie the system's own frames, which the
// 32-bit build's unwinder cannot pass: an exception that left the function would
// end the program. Each boundary runs its body through one of these, which writes
// the exception to the debugger's output and gives the answer that is safe for
// its kind of call.
#include <windows.h>

#include <new>

namespace Boundary {

// Writes the exception being handled, and where it was caught, to the debugger's
// output. For use inside a catch block only; it allocates nothing.
void ReportCurrent(const char* where) noexcept;

// Runs `body`; false when it threw.
template <class Body>
bool Run(const char* where, Body&& body) noexcept {
  try {
    body();
    return true;
  } catch (...) {
    ReportCurrent(where);
    return false;
  }
}

// The result of `body`; `failed` when it threw.
template <class Result, class Body>
Result Call(const char* where, Result failed, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    ReportCurrent(where);
    return failed;
  }
}

// The result of a COM method's body: E_OUTOFMEMORY when it ran out of memory,
// E_UNEXPECTED for any other exception.
template <class Body>
HRESULT ComCall(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    ReportCurrent("COM method");
    return E_OUTOFMEMORY;
  } catch (...) {
    ReportCurrent("COM method");
    return E_UNEXPECTED;
  }
}

}  // namespace Boundary
