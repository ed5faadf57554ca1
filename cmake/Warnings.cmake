# Warnings and sanitizers apply to every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic)
# GCC 12 at -O2 and above raises false alarms inside std::string once it
# inlines: -Wrestrict for operator+ with a literal (GCC bug 105329) and
# -Wmaybe-uninitialized for strings in aggregate tables (GCC bug 107919).
# The first is off; the second stays a warning but does not fail a -Werror
# build, since it can also point at real faults.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict -Wno-error=maybe-uninitialized)
endif()
if(ORLAVO_WERROR)
  add_compile_options(-Werror)
endif()
if(ORLAVO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
