# Warnings and sanitizers live in INTERFACE targets that every target links.
add_library(lumpwright_warnings INTERFACE)
if(MSVC)
  target_compile_options(lumpwright_warnings INTERFACE /W4 /permissive-)
  if(LUMPWRIGHT_WERROR)
    target_compile_options(lumpwright_warnings INTERFACE /WX)
  endif()
else()
  target_compile_options(lumpwright_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wconversion -Wshadow -Wnon-virtual-dtor
    -Wold-style-cast -Wcast-align -Wimplicit-fallthrough)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 warns of overlapping copies inside std::string's own operator+
    # (its bug 105329), most of all when cross-compiling at -O3.
    target_compile_options(lumpwright_warnings INTERFACE -Wno-restrict)
  endif()
  if(LUMPWRIGHT_WERROR)
    target_compile_options(lumpwright_warnings INTERFACE -Werror)
  endif()
endif()

add_library(lumpwright_sanitizers INTERFACE)
if(LUMPWRIGHT_FUZZ)
  # Everything the fuzz targets link is instrumented for coverage and checked.
  target_compile_options(lumpwright_sanitizers INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(lumpwright_sanitizers INTERFACE -fsanitize=address,undefined)
elseif(LUMPWRIGHT_SANITIZE)
  target_compile_options(lumpwright_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(lumpwright_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
