# The same sources for 64-bit Windows: the tests' build on machines whose
# kernel runs no 32-bit programs, where Wine runs only 64-bit ones.
set(TAVRIN_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
