# Every outside library comes from Debian's packages (scripts/bootstrap.sh installs them).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(LUA REQUIRED IMPORTED_TARGET lua5.4)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(OPENAL REQUIRED IMPORTED_TARGET openal)
# DNS SRV lookups (res_nquery, ns_parserr).
find_library(RESOLV_LIBRARY resolv REQUIRED)

if(ORVANE_APP)
  pkg_check_modules(GLFW3 REQUIRED IMPORTED_TARGET glfw3)
  pkg_check_modules(VULKAN REQUIRED IMPORTED_TARGET vulkan)
  pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET imgui)
endif()

find_package(GTest REQUIRED)
if(ORVANE_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()
