# Every outside library comes from Debian's packages (scripts/bootstrap.sh installs them).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

if(ORVANE_APP)
  pkg_check_modules(GLFW3 REQUIRED IMPORTED_TARGET glfw3)
endif()

find_package(GTest REQUIRED)
if(ORVANE_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()
