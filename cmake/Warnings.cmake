# Options for the project's own code (libraries, tools and tests).
# Narrow string literals are compiled to GB18030 bytes, the internal code page
# of every text; u8"" literals stay UTF-8 (tests use them for expectations).
add_library(tellmar_options INTERFACE)
target_compile_options(tellmar_options INTERFACE -Wall -Wextra -Werror -fexec-charset=GB18030)
