# jsoncpp for a cross build, compiled from the sources of Debian's libjsoncpp
# (the version the Linux build links). TELLMAR_JSONCPP_SOURCE_DIR names an
# unpacked source folder; left empty, the sources are fetched into the build
# tree at configure time (scripts/windows/debian-source.sh, once).
set(TELLMAR_JSONCPP_SOURCE_DIR "" CACHE PATH
    "Unpacked sources of Debian's libjsoncpp (empty: fetched into the build tree)")
set(jsoncpp_src "${TELLMAR_JSONCPP_SOURCE_DIR}")
if(NOT jsoncpp_src)
  message(STATUS "jsoncpp: the sources of Debian's libjsoncpp")
  execute_process(
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/windows/debian-source.sh
            libjsoncpp libjsoncpp-dev include/json/json.h ${CMAKE_BINARY_DIR}/debian-sources
    OUTPUT_VARIABLE jsoncpp_src OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE fetched)
  if(NOT fetched EQUAL 0)
    message(FATAL_ERROR "the sources of Debian's libjsoncpp could not be fetched")
  endif()
endif()
if(NOT EXISTS "${jsoncpp_src}/include/json/json.h")
  message(FATAL_ERROR "${jsoncpp_src} holds no jsoncpp sources (include/json/json.h)")
endif()
set(jsoncpp_lib ${jsoncpp_src}/src/lib_json)
add_library(tellmar_jsoncpp STATIC
  ${jsoncpp_lib}/json_reader.cpp
  ${jsoncpp_lib}/json_value.cpp
  ${jsoncpp_lib}/json_writer.cpp)
target_include_directories(tellmar_jsoncpp SYSTEM PUBLIC ${jsoncpp_src}/include)
target_include_directories(tellmar_jsoncpp PRIVATE ${jsoncpp_lib})
# The library's own code keeps its own warnings out of the project's -Werror.
target_compile_options(tellmar_jsoncpp PRIVATE -w)
