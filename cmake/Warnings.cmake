# Options for the project's own code (libraries, tools and tests). Warnings
# are errors with TELLMAR_WERROR, which CI turns on (scripts/test.sh and the
# checks that make builds of their own); a developer's build only warns.
# String literals are UTF-8 as the sources are; a text that the program
# keeps in its internal code page is written GB("...") (iconv/text_literal.h).
option(TELLMAR_WERROR "Make every warning an error" OFF)
add_library(tellmar_options INTERFACE)
target_compile_options(tellmar_options INTERFACE -Wall -Wextra)
if(TELLMAR_WERROR)
  target_compile_options(tellmar_options INTERFACE -Werror)
endif()
