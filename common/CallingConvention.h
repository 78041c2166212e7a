#pragma once
#include <type_traits>

// Pins of the calling conventions at the boundaries with code that another
// compiler built. On 32-bit x86 the convention is part of a function's type, so
// a binding or a declaration that names the wrong one fails the 32-bit build
// here, where it would otherwise unbalance the stack at the first call.
// x86-64 has a single convention and ignores the keywords, so the checks hold
// there as they stand.

// A function type bound at run time is the one the system declares.
#define PIN_BINDING(Type, function) \
  static_assert(std::is_same_v<Type, decltype(&function)>, #Type " is the type of " #function)

// A function type is exactly the one spelled out, convention included.
#define PIN_FUNCTION_TYPE(Type, ...) \
  static_assert(std::is_same_v<Type, __VA_ARGS__>, #Type " is " #__VA_ARGS__)

namespace CallingConvention {
// True for a __cdecl function; on 32-bit x86 a __stdcall one takes the other
// overload, and one of any other convention matches neither.
template <class R, class... A>
constexpr bool IsCdecl(R(__cdecl*)(A...)) {
  return true;
}
#if !defined(_WIN64)
template <class R, class... A>
constexpr bool IsCdecl(R(__stdcall*)(A...)) {
  return false;
}
#endif

// True for a __stdcall method; on 32-bit x86 a method of the compiler's own
// convention (__thiscall) takes the other overload, and one of any other
// convention matches neither.
template <class C, class R, class... A>
constexpr bool IsStdcall(R (__stdcall C::*)(A...)) {
  return true;
}
#if !defined(_WIN64)
template <class C, class R, class... A>
constexpr bool IsStdcall(R (__thiscall C::*)(A...)) {
  return false;
}
#endif
}  // namespace CallingConvention

// A function pointer type declared elsewhere is __cdecl, whatever its parameters.
#define PIN_CDECL(Type) static_assert(CallingConvention::IsCdecl(Type{}), #Type " is __cdecl")

// A COM method is __stdcall, as the system's callers and implementations take it.
#define PIN_COM_METHOD(Interface, Method)                         \
  static_assert(CallingConvention::IsStdcall(&Interface::Method), \
                #Interface "::" #Method " is __stdcall")
