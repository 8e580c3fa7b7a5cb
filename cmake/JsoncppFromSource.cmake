# jsoncpp for a cross build, compiled from the sources of Debian's libjsoncpp
# (the version the Linux build links), which scripts/windows/jsoncpp-source.sh
# fetches. TELLMAR_JSONCPP_SOURCE_DIR names the unpacked source folder.
set(TELLMAR_JSONCPP_SOURCE_DIR "" CACHE PATH "Unpacked sources of Debian's libjsoncpp")
if(NOT EXISTS "${TELLMAR_JSONCPP_SOURCE_DIR}/include/json/json.h")
  message(FATAL_ERROR
    "TELLMAR_JSONCPP_SOURCE_DIR must name the jsoncpp sources "
    "(scripts/windows/jsoncpp-source.sh DIR prints the folder)")
endif()
set(jsoncpp_lib ${TELLMAR_JSONCPP_SOURCE_DIR}/src/lib_json)
add_library(tellmar_jsoncpp STATIC
  ${jsoncpp_lib}/json_reader.cpp
  ${jsoncpp_lib}/json_value.cpp
  ${jsoncpp_lib}/json_writer.cpp)
target_include_directories(tellmar_jsoncpp SYSTEM PUBLIC ${TELLMAR_JSONCPP_SOURCE_DIR}/include)
target_include_directories(tellmar_jsoncpp PRIVATE ${jsoncpp_lib})
# The library's own code keeps its own warnings out of the project's -Werror.
target_compile_options(tellmar_jsoncpp PRIVATE -w)
