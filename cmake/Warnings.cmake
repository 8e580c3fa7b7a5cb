# Options for the project's own code (libraries, tools and tests). Warnings
# are errors with TELLMAR_WERROR, which CI turns on (scripts/test.sh and the
# checks that make builds of their own); a developer's build only warns.
option(TELLMAR_WERROR "Make every warning an error" OFF)
add_library(tellmar_options INTERFACE)
target_compile_options(tellmar_options INTERFACE -Wall -Wextra -fexec-charset=GB18030)
if(TELLMAR_WERROR)
  target_compile_options(tellmar_options INTERFACE -Werror)
endif()
